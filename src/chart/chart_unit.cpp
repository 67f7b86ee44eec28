#include "chart/chart_unit.h"

#include "chart/chart_state.h"
#include "chart/ids/chart_panel.h"
#include "params/choice_codes.h"
#include "params/params_state.h"
#include "runtime/number_text.h"
#include "runtime/panel_handles.h"
#include "runtime/strip_chart_calls.h"

void showChartUnit() {
    const int code = gParams.parmRecord.unitCF;
    if (code == gChart.unitShown) return;
    gChart.unitShown = code;
    std::string unit = "code " + formatWhole(code);
    for (const Choice& c : choices::unit)
        if (c.code == code) unit = std::string(c.label);
    SetStripChartUnit(gPanels.chart, ChartPanel::stripChart, unit);
}
