#include "app/state_reset.h"

#include "chart/chart_state.h"
#include "chart/data_log.h"
#include "connection/status_line.h"
#include "link/session.h"
#include "monitor/live_values.h"
#include "params/params_state.h"
#include "runtime/run_ending.h"

void resetAllState() {
    session().reset();
    resetParamsState();
    resetDataLogState();
    resetChartState();
    resetMonitorState();
    resetRunEnding();
    resetStatusLine();
}
