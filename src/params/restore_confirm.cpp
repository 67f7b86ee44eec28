#include "params/restore_confirm.h"

#include "params/params_state.h"
#include "params/restore_preview.h"
#include "runtime/panel_service.h"

namespace {

constexpr const char* kTitle = "Restore Parameter File";

std::string unreadNote(const RestorePreview& preview, const char* lead) {
    if (preview.unread.empty()) return {};
    return std::string("\n") + lead + unreadNames(preview) + ".\n";
}

// Button 1 always sends, so a slip of Enter never sends what the operator
// was told is already there.
bool ask(const std::string& text, const char* send, const char* keep, int chosen) {
    return GenericMessagePopup(kTitle, text, send, keep, "", chosen, chosen, 2) == 1;
}

} // namespace

bool restoreConfirmed(const std::string& path, const ParmRecord& file) {
    const RestorePreview preview = previewRestore(gParams.parmRecord, gParams.held, file);
    if (preview.changes.empty() && preview.unchanged == 0)
        return ask("The controller's values are unknown: nothing has been read from it yet, so "
                   "the file cannot be compared with them.\n\nSend " +
                       path + " to the controller?",
                   "Send", "Cancel", 2);
    if (preview.changes.empty())
        return ask(path +
                       "\nholds the values the controller gave for every parameter read from "
                       "it: nothing needs to be sent.\n" +
                       unreadNote(preview, "Not compared, never read from the controller: "),
                   "Send anyway", "Close", 2);
    const size_t n = preview.changes.size();
    return ask("Loading " + path + " changes " + std::to_string(n) +
                   (n == 1 ? " parameter" : " parameters") +
                   " in the controller (as last read \u2192 in the file):\n" +
                   changeLines(preview) +
                   unreadNote(preview, "Also sent, never read from the controller: ") +
                   "\nSend the file to the controller?",
               "Send", "Cancel", 1);
}
