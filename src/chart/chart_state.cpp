#include "chart/chart_state.h"

ChartState gChart;

void resetChartState() {
    gChart = ChartState{};
}
