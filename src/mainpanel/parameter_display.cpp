#include "mainpanel/parameter_display.h"

#include "link/registers.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/setters.h"
#include "mainpanel/unit_view.h"
#include "panelkit/panel_service.h"
#include "params/encodings.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "params/unit_labels.h"

namespace {

const ShownParameter kMainPanel[] = {
    {reg::decimalPoint, false, MainPanel::decimalPointRing, {}},
    {reg::timeUnit, false, MainPanel::timeUnitRing, {}},
    {reg::setValue, false, MainPanel::svEntry, {}},
    {reg::a1SetPoint, false, MainPanel::alarmSetPointNumeric, {}},
    {reg::a1Hysteresis, false, MainPanel::hysteresisNumeric, {}},
    {reg::a1Function, false, MainPanel::a1FunctionRing, {}},
    {reg::a1Mode, false, MainPanel::a1ModeRing, {}},
    {reg::a1DelayTime, false, MainPanel::alarmDelayMajor, MainPanel::alarmDelayMinor},
    {reg::rampRate, false, MainPanel::rampRateNumeric, {}},
    {reg::softStartTime, false, MainPanel::softStartMajor, MainPanel::softStartMinor},
    {reg::outputLevel, false, MainPanel::outputLevelNumeric, {}},
    {reg::sensorType, false, MainPanel::sensorRing, {}},
    {reg::pvOffset, false, MainPanel::pvOffsetNumeric, {}},
    {reg::swFilter, false, MainPanel::swFilterNumeric, {}},
    {reg::dirRev, false, MainPanel::actionRing, {}},
    {reg::unitCF, false, MainPanel::unitRing, {}},
    {reg::erop, false, MainPanel::eropRing, {}},
    {reg::loLimit, false, MainPanel::loLimitNumeric, {}},
    {reg::hiLimit, false, MainPanel::hiLimitNumeric, {}},
    {reg::cycleTime, false, MainPanel::cycleTimeNumeric, {}},
};

std::vector<ShownParameter>& shown() {
    static std::vector<ShownParameter> all(std::begin(kMainPanel), std::end(kMainPanel));
    return all;
}

int (*gDebugPanel)() = nullptr;

} // namespace

std::span<const ShownParameter> shownParameters() {
    return shown();
}

void showParameterOnDebugPanel(uint16_t reg, CtrlId control, int (*debugPanel)()) {
    gDebugPanel = debugPanel;
    for (const ShownParameter& s : shown())
        if (s.reg == reg) return;
    shown().push_back({reg, true, control, {}});
}

void showParameter(Controller& c, uint16_t reg) {
    const ParmRegister* r = findParmRegister(reg);
    if (!r) return;
    if (reg == reg::timeUnit) showTimeUnitLabels(c);
    if (reg == reg::timeUnit || reg == reg::unitCF) showUnits(c);
    const ParmRecord& rec = c.parmRecord;
    for (const ShownParameter& s : shown()) {
        if (s.reg != reg) continue;
        const int panel = s.onDebugPanel ? (gDebugPanel ? gDebugPanel() : 0) : MainPanel::handle;
        if (!c.isHeld(reg)) {
            // Start-up zeros, or a value the controller never took.
            ClearCtrlVal(panel, s.control);
            if (!s.minorControl.empty()) ClearCtrlVal(panel, s.minorControl);
        } else if (r->isReal()) {
            SetCtrlVal(panel, s.control, double(rec.*(r->real)));
        } else if (r->enc == Encoding::TimeWord) {
            const TimePair t = splitTimeWord(rec.*(r->word));
            SetCtrlVal(panel, s.control, t.major);
            SetCtrlVal(panel, s.minorControl, t.minor);
        } else {
            SetCtrlVal(panel, s.control, int(rec.*(r->word)));
        }
        return;
    }
}
