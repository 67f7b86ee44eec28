#include "params/setters.h"

#include "link/registers.h"
#include "link/transfer.h"
#include "params/decimal_point.h"
#include "params/encodings.h"
#include "params/help_texts.h"
#include "params/ids/main_panel.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "params/write_report.h"
#include "runtime/panel_handles.h"

namespace {

// Reads the control into its record field, writes the register and tells the
// operator if the controller refused or did not confirm it. Then the field
// and the control go back to the value the controller is known to hold.
// True when the controller confirmed the new value.
bool writeFromControl(int panel, CtrlId control, uint16_t reg) {
    const ParmRegister* r = findParmRegister(reg);
    int value = 0;
    GetCtrlVal(panel, control, &value);
    int16_t& field = gParams.parmRecord.*(r->word);
    const int16_t held = field;
    field = int16_t(value);
    const Outcome outcome = writeRegister(reg, encodeInt(r->enc, field));
    reportWrite(outcome, parmRegisterName(reg));
    if (outcome.ok()) return true;
    field = held;
    SetCtrlVal(panel, control, int(held));
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

} // namespace

int SetCF(int p, CtrlId c, int e) {
    return setter("SetCF", reg::unitCF, p, c, e);
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
    // The other values keep their numbers; only the digits shown follow, and
    // only once the controller has taken the new point: until then PV and SV
    // are still in its old scale.
    if (handle("SetDecimalPnt", reg::decimalPoint, p, c, e)) AdjDecimal();
    return 0;
}

int SetTimeUnit(int p, CtrlId c, int e) {
    if (handle("SetTimeUnit", reg::timeUnit, p, c, e)) showTimeUnitLabels();
    return 0;
}

void showTimeUnitLabels() {
    const bool hours = gParams.parmRecord.ptme != 0;
    SetCtrlVal(gPanels.main, MainPanel::alarmDelayLabel,
               std::string(hours ? "Delay (HH:MM)" : "Delay (MM:SS)"));
    SetCtrlVal(gPanels.main, MainPanel::softStartLabel,
               std::string(hours ? "Soft start (HH:MM)" : "Soft start (MM:SS)"));
}
