#include "chart/chart_state.h"

#include "monitor/live_values.h"

ChartState gChart;

void resetChartState() {
    gChart = ChartState{};
    resetMonitorState();
}
