#include "chart/panel/chart_unit.h"

#include "base/number_text.h"
#include "chart/panel/chart.h"
#include "chart/panel/ids/chart_panel.h"
#include "panelkit/strip_chart_calls.h"
#include "params/choice_codes.h"
#include "params/params_state.h"

void showChartUnit(Chart& chart) {
    const int code = chart.controller.parmRecord.unitCF;
    if (code == chart.state.unitShown) return;
    chart.state.unitShown = code;
    std::string unit = "code " + formatWhole(code);
    for (const Choice& c : choices::unit)
        if (c.code == code) unit = std::string(c.label);
    SetStripChartUnit(ChartPanel::handle, ChartPanel::stripChart, unit);
}
