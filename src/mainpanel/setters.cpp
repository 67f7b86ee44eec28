#include "mainpanel/setters.h"

#include "link/registers.h"
#include "link/transfer.h"
#include "mainpanel/help_texts.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/parameter_display.h"
#include "mainpanel/rescale.h"
#include "mainpanel/unit_view.h"
#include "mainpanel/write_report.h"
#include "panelkit/panel_handles.h"
#include "params/parameter_write.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "params/unit_labels.h"
#include "params/value_text.h"

namespace {

// Reads the control into its record field and writes the register; the
// operator hears of a refusal or a missing confirmation, by which time the
// control shows what the controller holds. True when the controller
// confirmed the new value.
bool writeFromControl(int panel, CtrlId control, uint16_t reg) {
    const ParmRegister* r = findParmRegister(reg);
    int value = 0;
    GetCtrlVal(panel, control, &value);
    const ParmRecord before = sessionController().parmRecord;
    sessionController().parmRecord.*(r->word) = int16_t(value);
    const std::string tried = parameterShownText(reg, sessionController().parmRecord);
    Transfer transfer;
    const Outcome outcome = writeParameter(transfer, reg, before);
    showParameterWrite(outcome, reg, tried);
    if (outcome.ok()) return true;
    showParameter(reg);
    reportWrite(outcome, parmRegisterName(reg));
    return false;
}

// Shows the help on a right click, writes the control on a commit. True when
// a commit was written and confirmed.
bool handle(const char* name, uint16_t reg, int panel, CtrlId control, int event,
            bool hasHelp = true) {
    if (event == EVENT_RIGHT_CLICK && hasHelp) showHelp(name);
    return event == EVENT_COMMIT && writeFromControl(panel, control, reg);
}

int setter(const char* name, uint16_t reg, int panel, CtrlId control, int event,
           bool hasHelp = true) {
    handle(name, reg, panel, control, event, hasHelp);
    return 0;
}

// Asked first, on a commit of the decimal point or the unit: No sends
// nothing, and the ring goes back to what the controller holds.
bool declined(uint16_t reg, int p, CtrlId c, int e) {
    if (e != EVENT_COMMIT) return false;
    int code = 0;
    GetCtrlVal(p, c, &code);
    if (rescaleConfirmed(reg, code)) return false;
    showParameter(reg);
    return true;
}

} // namespace

int SetCF(int p, CtrlId c, int e) {
    if (declined(reg::unitCF, p, c, e)) return 0;
    const int16_t before = sessionController().parmRecord.unitCF;
    if (handle("SetCF", reg::unitCF, p, c, e)) showUnits();
    // The controller converts PV to the new unit (confirmed, or read back).
    if (sessionController().parmRecord.unitCF != before) unitChanged();
    return 0;
}
int SetDirRev(int p, CtrlId c, int e) {
    return setter("SetDirRev", reg::dirRev, p, c, e);
}
int SetSensor(int p, CtrlId c, int e) {
    return setter("SetSensor", reg::sensorType, p, c, e, false);
}
int SetEROP(int p, CtrlId c, int e) {
    return setter("SetEROP", reg::erop, p, c, e);
}
int SetAlarmFunc1(int p, CtrlId c, int e) {
    return setter("SetAlarmFunc1", reg::a1Function, p, c, e);
}
int SetAlarmMode1(int p, CtrlId c, int e) {
    return setter("SetAlarmMode1", reg::a1Mode, p, c, e);
}
int SetKeyLock(int p, CtrlId c, int e) {
    return setter("SetKeyLock", reg::keyLock, p, c, e);
}
int SetCycleTime(int p, CtrlId c, int e) {
    return setter("SetCycleTime", reg::cycleTime, p, c, e, false);
}

int SetDecimalPnt(int p, CtrlId c, int e) {
    if (declined(reg::decimalPoint, p, c, e)) return 0;
    handle("SetDecimalPnt", reg::decimalPoint, p, c, e);
    // The scale follows only the point the controller holds (confirmed, or
    // read back after a lost echo): until it takes a new one, PV and SV are
    // in its old scale. Its values keep their numbers, so each then reads
    // ten times off what the panel showed: they are read again.
    if (Scale::ofDecimalPoint(sessionController().parmRecord.decimalPoint) !=
        sessionController().scale())
        followDecimalPoint();
    return 0;
}

int SetTimeUnit(int p, CtrlId c, int e) {
    if (handle("SetTimeUnit", reg::timeUnit, p, c, e)) {
        showTimeUnitLabels();
        showUnits();
    }
    return 0;
}

void showTimeUnitLabels() {
    const bool hours = sessionController().parmRecord.ptme != 0;
    SetCtrlVal(gPanels.main, MainPanel::alarmDelayLabel,
               std::string(hours ? "Delay (HH:MM)" : "Delay (MM:SS)"));
    SetCtrlVal(gPanels.main, MainPanel::softStartLabel,
               std::string(hours ? "Soft start (HH:MM)" : "Soft start (MM:SS)"));
}
