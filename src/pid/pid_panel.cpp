#include "pid/pid_panel.h"

#include "params/params_state.h"
#include "pid/pid_block.h"
#include "pid/pid_file.h"
#include "pid/pid_transfer.h"
#include "runtime/panel_handles.h"

namespace {

// The panel's entries over a copy of the record.
ParmRecord entriesOverRecord() {
    ParmRecord record = gParams.parmRecord;
    for (const PidField& f : pidFields()) {
        if (f.real) {
            double v = 0;
            GetCtrlVal(gPanels.pid, f.entry, &v);
            record.*f.real = float(v);
        } else {
            short v = 0;
            GetCtrlVal(gPanels.pid, f.entry, &v);
            record.*f.word = v;
        }
    }
    return record;
}

} // namespace

int OpenPidPanel(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) {
        DisplayPanel(gPanels.pid);
        ReadPIDParmsFromMeter();
    } else if (event == EVENT_RIGHT_CLICK) {
        MessagePopup("<PID> Help", "PID Panel does not open for user level.");
    }
    return 0;
}

int QuitPidParm(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) HidePanel(gPanels.pid);
    return 0;
}

int ReadPID(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ReadPIDParmsFromMeter();
    return 0;
}

int WrtPID(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    gParams.parmRecord = entriesOverRecord();
    WritePIDParmsToMeter();
    return 0;
}

int ReadPIDfromPC(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    // A cancelled or refused file sends nothing: the record may hold nothing
    // read yet (zeros), which must never overwrite the controller's tuning.
    if (!ReadPIDParmsFromPC()) return 0;
    WritePIDParmsToMeter();
    ReadPIDParmsFromMeter();
    return 0;
}

int WrtPIDtoPC(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) WritePIDParmsToFile();
    return 0;
}
