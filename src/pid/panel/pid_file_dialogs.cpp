#include "pid/panel/pid_file_dialogs.h"

#include "base/atomic_file.h"
#include "panelkit/panel_service.h"
#include "panelkit/status_message.h"
#include "params/params_state.h"
#include "pid/pid_block.h"
#include "pid/pid_file.h"

namespace {

constexpr const char* kDefaultSpec = "*.prm";
constexpr const char* kFilterList = "*.txt;*.prm;*.dat";
// The save dialog shares the load dialog's title.
constexpr const char* kDialogTitle = "Load Parameter File";
constexpr const char* kErrorTitle = "PID File Error";

} // namespace

bool ReadPIDParmsFromPC(Controller& c) {
    std::string path;
    if (FileSelectPopup("", kDefaultSpec, kFilterList, kDialogTitle, VAL_LOAD_BUTTON, 0, 0, 1, 0,
                        &path) != VAL_EXISTING_FILE_SELECTED)
        return false;
    ParmRecord loaded = c.parmRecord;
    std::string why;
    if (!readPidFile(path, &loaded, &why)) {
        MessagePopup(kErrorTitle, path + ": " + why + ".\nNothing was sent.");
        return false;
    }
    const std::string misfits = pidMisfits(loaded, c.scale());
    if (!misfits.empty()) {
        MessagePopup(kErrorTitle, path + " holds values too large for their registers: " + misfits +
                                      ".\nNothing was sent.");
        return false;
    }
    for (const PidField& f : pidFields()) {
        if (f.real)
            c.parmRecord.*f.real = loaded.*f.real;
        else
            c.parmRecord.*f.word = loaded.*f.word;
    }
    return true;
}

void WritePIDParmsToFile(Controller& c) {
    std::string path;
    const int chosen = FileSelectPopup("", kDefaultSpec, kFilterList, kDialogTitle, VAL_OK_BUTTON,
                                       0, 0, 1, 1, &path);
    if (chosen == VAL_NO_FILE_SELECTED || path.empty()) return;
    std::string why;
    if (!writeFileAtomically(path, formatPidFile(c.parmRecord), &why)) {
        MessagePopup(kErrorTitle, "Cannot save " + path + ":\n" + why);
        return;
    }
    showStatus("PID file saved: " + path);
}
