#include "mainpanel/setters.h"

#include "link/registers.h"
#include "link/transfer.h"
#include "mainpanel/help_texts.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/parameter_display.h"
#include "mainpanel/rescale.h"
#include "mainpanel/unit_view.h"
#include "mainpanel/write_report.h"
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
bool writeFromControl(Controller& c, int panel, CtrlId control, uint16_t reg) {
    const ParmRegister* r = findParmRegister(reg);
    int value = 0;
    GetCtrlVal(panel, control, &value);
    const ParmRecord before = c.parmRecord;
    c.parmRecord.*(r->word) = int16_t(value);
    const std::string tried = parameterShownText(reg, c.parmRecord, c.scale());
    Transfer transfer(c);
    const Outcome outcome = writeParameter(transfer, reg, before);
    showParameterWrite(c, outcome, reg, tried);
    if (outcome.ok()) return true;
    showParameter(c, reg);
    reportWrite(outcome, parmRegisterName(reg));
    return false;
}

// Shows the help on a right click, writes the control on a commit. True when
// a commit was written and confirmed.
bool handle(Controller& c, const char* name, uint16_t reg, int panel, CtrlId control, int event,
            bool hasHelp = true) {
    if (event == EVENT_RIGHT_CLICK && hasHelp) showHelp(name);
    return event == EVENT_COMMIT && writeFromControl(c, panel, control, reg);
}

int setter(Controller& c, const char* name, uint16_t reg, int panel, CtrlId control, int event,
           bool hasHelp = true) {
    handle(c, name, reg, panel, control, event, hasHelp);
    return 0;
}

// Asked first, on a commit of the decimal point or the unit: No sends
// nothing, and the ring goes back to what the controller holds.
bool declined(Controller& c, uint16_t reg, int p, CtrlId ctl, int e) {
    if (e != EVENT_COMMIT) return false;
    int code = 0;
    GetCtrlVal(p, ctl, &code);
    if (rescaleConfirmed(c, reg, code)) return false;
    showParameter(c, reg);
    return true;
}

} // namespace

int SetCF(Rescale& rescale, int p, CtrlId ctl, int e) {
    Controller& c = rescale.controller;
    if (declined(c, reg::unitCF, p, ctl, e)) return 0;
    const int16_t before = c.parmRecord.unitCF;
    if (handle(c, "SetCF", reg::unitCF, p, ctl, e)) showUnits(c);
    // The controller converts PV to the new unit (confirmed, or read back).
    if (c.parmRecord.unitCF != before) unitChanged(rescale);
    return 0;
}
int SetDirRev(Controller& c, int p, CtrlId ctl, int e) {
    return setter(c, "SetDirRev", reg::dirRev, p, ctl, e);
}
int SetSensor(Controller& c, int p, CtrlId ctl, int e) {
    return setter(c, "SetSensor", reg::sensorType, p, ctl, e, false);
}
int SetEROP(Controller& c, int p, CtrlId ctl, int e) {
    return setter(c, "SetEROP", reg::erop, p, ctl, e);
}
int SetAlarmFunc1(Controller& c, int p, CtrlId ctl, int e) {
    return setter(c, "SetAlarmFunc1", reg::a1Function, p, ctl, e);
}
int SetAlarmMode1(Controller& c, int p, CtrlId ctl, int e) {
    return setter(c, "SetAlarmMode1", reg::a1Mode, p, ctl, e);
}
int SetKeyLock(Controller& c, int p, CtrlId ctl, int e) {
    return setter(c, "SetKeyLock", reg::keyLock, p, ctl, e);
}
int SetCycleTime(Controller& c, int p, CtrlId ctl, int e) {
    return setter(c, "SetCycleTime", reg::cycleTime, p, ctl, e, false);
}

int SetDecimalPnt(Rescale& rescale, int p, CtrlId ctl, int e) {
    Controller& c = rescale.controller;
    if (declined(c, reg::decimalPoint, p, ctl, e)) return 0;
    handle(c, "SetDecimalPnt", reg::decimalPoint, p, ctl, e);
    // The scale follows only the point the controller holds (confirmed, or
    // read back after a lost echo): until it takes a new one, PV and SV are
    // in its old scale. Its values keep their numbers, so each then reads
    // ten times off what the panel showed: they are read again.
    if (Scale::ofDecimalPoint(c.parmRecord.decimalPoint) != c.scale()) followDecimalPoint(rescale);
    return 0;
}

int SetTimeUnit(Controller& c, int p, CtrlId ctl, int e) {
    if (handle(c, "SetTimeUnit", reg::timeUnit, p, ctl, e)) {
        showTimeUnitLabels(c);
        showUnits(c);
    }
    return 0;
}

void showTimeUnitLabels(Controller& c) {
    const bool hours = c.parmRecord.ptme != 0;
    SetCtrlVal(MainPanel::handle, MainPanel::alarmDelayLabel,
               std::string(hours ? "Delay (HH:MM)" : "Delay (MM:SS)"));
    SetCtrlVal(MainPanel::handle, MainPanel::softStartLabel,
               std::string(hours ? "Soft start (HH:MM)" : "Soft start (MM:SS)"));
}
