#include "pid/panel/pid_panel.h"

#include "base/hex_text.h"
#include "mainpanel/line_lost_notice.h"
#include "mainpanel/parameter_display.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/status_message.h"
#include "params/params_state.h"
#include "pid/panel/ids/pid_panel.h"
#include "pid/panel/pid_file_dialogs.h"
#include "pid/pid_block.h"
#include "pid/pid_transfer.h"

#include <string>

namespace {

// In the block's register order.
constexpr CtrlId kEntries[kPidRegisterCount] = {
    PidPanel::pid11Numeric,     PidPanel::pid12Numeric, PidPanel::pid13Numeric,
    PidPanel::pid14Numeric,     PidPanel::pid15Numeric, PidPanel::pid16Numeric,
    PidPanel::cycleTimeNumeric, PidPanel::pid18Numeric, PidPanel::pid19Numeric,
    PidPanel::pid1ANumeric,     PidPanel::pid1BNumeric,
};

} // namespace

CtrlId pidEntry(const PidField& f) {
    return kEntries[f.reg - reg::pidFirst];
}

namespace {

void showOnPanel(Controller& c, const PidField& f) {
    const ParmRecord& rec = c.parmRecord;
    if (f.real)
        SetCtrlVal(PidPanel::handle, pidEntry(f), double(rec.*f.real));
    else
        SetCtrlVal(PidPanel::handle, pidEntry(f), int(rec.*f.word));
}

// What became of one register write, for the closing message.
std::string failure(const Outcome& o) {
    if (o.refused()) return "refused (exception " + hexByte(o.exceptionCode) + ")";
    return o.silent() ? "no reply" : "not confirmed";
}

// The panel's entries over a copy of the record.
ParmRecord entriesOverRecord(Controller& c) {
    ParmRecord record = c.parmRecord;
    for (const PidField& f : pidFields()) {
        if (f.real) {
            double v = 0;
            GetCtrlVal(PidPanel::handle, pidEntry(f), &v);
            record.*f.real = float(v);
        } else {
            short v = 0;
            GetCtrlVal(PidPanel::handle, pidEntry(f), &v);
            record.*f.word = v;
        }
    }
    return record;
}

} // namespace

void ReadPIDParmsFromMeter(Controller& c) {
    showWaitPopup(c, "reading the PID parameters");
    const bool read = readPidBlock(c).ok();
    if (read)
        for (const PidField& f : pidFields()) {
            showOnPanel(c, f);
            // The main panel shows some of these (the cycle time) as well;
            // both must show what was just read.
            showParameter(c, f.reg);
        }
    removeWaitPopup(c);
    showStatus(read ? "PID parameters read" : "PID parameters not read");
    if (!read &&
        !reportIfLineLost(c, "The PID parameters were not read; the panel keeps the values "
                             "it showed before."))
        MessagePopup("PID Read Error",
                     "The controller did not return the PID parameters.\nThe panel keeps the "
                     "values it showed before.");
}

void showHeldBlock(Controller& c) {
    for (const PidField& f : pidFields())
        if (c.isHeld(f.reg)) showOnPanel(c, f);
}

void WritePIDParmsToMeter(Controller& c) {
    if (const std::string misfits = pidMisfits(c.parmRecord, c.scale()); !misfits.empty()) {
        MessagePopup("PID Write Error",
                     "Outside what their registers take: " + misfits + ".\nNothing was sent.");
        return;
    }
    showWaitPopup(c, "writing the PID parameters");
    const PidWriteResult result = writePidBlock(c);
    removeWaitPopup(c);
    const auto& fields = pidFields();
    if (result.cancelled) {
        const std::string done =
            std::to_string(result.sent) + " of " + std::to_string(fields.size());
        showStatus("PID write cancelled: " + done + " written");
        MessagePopup("PID Write Cancelled",
                     "The PID write was cancelled after " + done +
                         " parameters.\nThe controller holds the new values up to there and its "
                         "old ones after.");
        return;
    }
    std::string problems;
    for (const auto& [k, o] : result.failed)
        problems += std::string("\n") + fields[k].label + ": " + failure(o);
    if (result.sent < fields.size())
        problems +=
            "\n\nThe controller stopped answering.\n" + result.ledger.listText(pidRegisterLabel);
    showStatus(problems.empty() ? "PID parameters written" : "PID parameters written, with errors");
    if (!problems.empty() &&
        !reportIfLineLost(c, "These PID parameters may not be in the controller:" + problems))
        MessagePopup("PID Write Error",
                     "These PID parameters may not be in the controller:" + problems);
}

int OpenPidPanel(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) {
        DisplayPanel(PidPanel::handle);
        ReadPIDParmsFromMeter(c);
    } else if (event == EVENT_RIGHT_CLICK) {
        MessagePopup("<PID> Help", "PID Panel does not open for user level.");
    }
    return 0;
}

int QuitPidParm(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) HidePanel(PidPanel::handle);
    return 0;
}

int ReadPID(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ReadPIDParmsFromMeter(c);
    return 0;
}

int WrtPID(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    takeIntoRecord(c, entriesOverRecord(c));
    WritePIDParmsToMeter(c);
    return 0;
}

int ReadPIDfromPC(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    // A cancelled or refused file sends nothing: the record may hold nothing
    // read yet (zeros), which must never overwrite the controller's tuning.
    if (!ReadPIDParmsFromPC(c)) return 0;
    WritePIDParmsToMeter(c);
    ReadPIDParmsFromMeter(c);
    return 0;
}

int WrtPIDtoPC(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) WritePIDParmsToFile(c);
    return 0;
}
