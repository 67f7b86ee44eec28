#include "params/parameter_display.h"

#include "params/encodings.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "params/setters.h"
#include "runtime/ids/debug_panel.h"
#include "runtime/ids/main_panel.h"
#include "runtime/panel_handles.h"
#include "runtime/panel_service.h"

namespace {

struct Shown {
    uint16_t reg;
    bool onDebugPanel;
    CtrlId control;
    CtrlId minorControl; // second field of a time word
};

constexpr Shown kShown[] = {
    {0x21, false, MainPanel::decimalPointRing, {}},
    {0x26, false, MainPanel::timeUnitRing, {}},
    {0x00, false, MainPanel::svEntry, {}},
    {0x04, false, MainPanel::alarmSetPointNumeric, {}},
    {0x05, false, MainPanel::hysteresisNumeric, {}},
    {0x06, false, MainPanel::a1FunctionRing, {}},
    {0x07, false, MainPanel::a1ModeRing, {}},
    {0x08, false, MainPanel::alarmDelayMajor, MainPanel::alarmDelayMinor},
    {0x0E, false, MainPanel::rampRateNumeric, {}},
    {0x0F, false, MainPanel::softStartMajor, MainPanel::softStartMinor},
    {0x02, false, MainPanel::outputLevelNumeric, {}},
    {0x1C, false, MainPanel::sensorRing, {}},
    {0x01, false, MainPanel::pvOffsetNumeric, {}},
    {0x29, false, MainPanel::swFilterNumeric, {}},
    {0x22, false, MainPanel::actionRing, {}},
    {0x20, false, MainPanel::unitRing, {}},
    {0x27, false, MainPanel::eropRing, {}},
    {0x28, true, DebugPanel::lockRing, {}},
    {0x23, false, MainPanel::loLimitNumeric, {}},
    {0x24, false, MainPanel::hiLimitNumeric, {}},
    {0x17, false, MainPanel::cycleTimeNumeric, {}},
};

} // namespace

void showParameter(uint16_t reg) {
    const ParmRegister* r = findParmRegister(reg);
    if (!r) return;
    if (reg == 0x26) showTimeUnitLabels();
    const ParmRecord& rec = gParams.parmRecord;
    for (const Shown& s : kShown) {
        if (s.reg != reg) continue;
        const int panel = s.onDebugPanel ? gPanels.debug : gPanels.main;
        if (r->isReal()) {
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
