#include "params/decimal_point.h"

#include "params/params_state.h"
#include "runtime/ids/chart_panel.h"
#include "runtime/ids/main_panel.h"
#include "runtime/ids/pid_panel.h"
#include "runtime/ids/step_program_panel.h"
#include "runtime/panel_handles.h"
#include "runtime/panel_service.h"

#include <utility>
#include <vector>

namespace {

// Every control whose value is a scaled temperature, on every panel. This is
// the one list; a panel that gains such a control adds it here.
std::vector<std::pair<int, CtrlId>> temperatureControls() {
    std::vector<std::pair<int, CtrlId>> list = {
        {gPanels.main, MainPanel::hiLimitNumeric},
        {gPanels.main, MainPanel::loLimitNumeric},
        {gPanels.main, MainPanel::swFilterNumeric},
        {gPanels.main, MainPanel::pvOffsetNumeric},
        {gPanels.main, MainPanel::alarmSetPointNumeric},
        {gPanels.main, MainPanel::hysteresisNumeric},
        {gPanels.main, MainPanel::rampRateNumeric},
        {gPanels.main, MainPanel::svEntry},
        {gPanels.main, MainPanel::pvDisplay},
        {gPanels.chart, ChartPanel::svIndicator},
        {gPanels.chart, ChartPanel::pvIndicator},
        {gPanels.pid, PidPanel::pid16Numeric},
        {gPanels.pid, PidPanel::pid19Numeric},
        {gPanels.pid, PidPanel::pid1ANumeric},
        {gPanels.stepProgram, StepProgramPanel::bandEntry},
    };
    for (CtrlId sv : StepProgramPanel::stepSv)
        list.emplace_back(gPanels.stepProgram, sv);
    return list;
}

} // namespace

void AdjDecimal() {
    applyDecimalScale();
    const bool oneDigit = gParams.dpMultiplier > 1.0f;
    // The limits keep whatever is entered within the 16 bits of its register.
    const double low = -32768.0 / gParams.dpMultiplier, high = 32767.0 / gParams.dpMultiplier;
    for (const auto& [panel, control] : temperatureControls()) {
        SetCtrlAttribute(panel, control, ATTR_PRECISION, oneDigit ? 1 : 0);
        SetCtrlAttribute(panel, control, ATTR_MIN_VALUE, low);
        SetCtrlAttribute(panel, control, ATTR_MAX_VALUE, high);
    }
}
