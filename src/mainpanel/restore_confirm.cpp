#include "mainpanel/restore_confirm.h"

#include "panelkit/panel_service.h"
#include "params/params_state.h"
#include "params/restore_preview.h"

namespace {

constexpr const char* kRestoreTitle = "Restore Parameter File";

std::string unreadNote(const RestorePreview& preview, const char* lead) {
    if (preview.unread.empty()) return {};
    return std::string("\n") + lead + unreadNames(preview) + ".\n";
}

// Button 1 always sends, so a slip of Enter never sends what the operator
// was told is already there.
bool ask(const std::string& text, const char* send, const char* keep, int chosen) {
    return GenericMessagePopup(kRestoreTitle, text, send, keep, "", chosen, chosen, 2) == 1;
}

// What the operator decides on besides the changes; sending it is never the
// choice Enter makes.
std::string doubtNote(const std::vector<std::string>& doubts) {
    if (doubts.empty()) return {};
    std::string out = "\nIn doubt, sent as the file holds them if you go on:\n";
    for (const std::string& d : doubts)
        out += "    " + d + "\n";
    return out;
}

} // namespace

bool restoreConfirmed(Controller& c, const std::string& path, const ParmRecord& file,
                      const std::vector<std::string>& doubts) {
    const RestorePreview preview = previewRestore(c.parmRecord, c.held(), file);
    const std::string doubtful = doubtNote(doubts);
    if (preview.changes.empty() && preview.unchanged == 0)
        return ask("The controller's values are unknown: nothing has been read from it yet, so "
                   "the file cannot be compared with them.\n" +
                       doubtful + "\nSend " + path + " to the controller?",
                   "Send", "Cancel", 2);
    if (preview.changes.empty())
        return ask(path +
                       "\nholds the values the controller gave for every parameter read from "
                       "it: nothing needs to be sent.\n" +
                       unreadNote(preview, "Not compared, never read from the controller: ") +
                       doubtful,
                   "Send anyway", "Close", 2);
    const size_t n = preview.changes.size();
    return ask("Loading " + path + " changes " + std::to_string(n) +
                   (n == 1 ? " parameter" : " parameters") +
                   " in the controller (as last read \u2192 in the file):\n" +
                   changeLines(preview) +
                   unreadNote(preview, "Also sent, never read from the controller: ") + doubtful +
                   "\nSend the file to the controller?",
               "Send", "Cancel", doubts.empty() ? 1 : 2);
}
