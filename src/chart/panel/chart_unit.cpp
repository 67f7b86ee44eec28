#include "chart/panel/chart_unit.h"

#include "base/number_text.h"
#include "chart/chart_state.h"
#include "chart/panel/ids/chart_panel.h"
#include "panelkit/strip_chart_calls.h"
#include "params/choice_codes.h"
#include "params/params_state.h"

void showChartUnit(const Controller& c) {
    const int code = c.parmRecord.unitCF;
    if (code == gChart.unitShown) return;
    gChart.unitShown = code;
    std::string unit = "code " + formatWhole(code);
    for (const Choice& c : choices::unit)
        if (c.code == code) unit = std::string(c.label);
    SetStripChartUnit(ChartPanel::handle, ChartPanel::stripChart, unit);
}
