#include "app/state_reset.h"

#include "chart/chart_state.h"
#include "chart/data_log.h"
#include "connection/panel/alarm_notices.h"
#include "connection/panel/status_line.h"
#include "lines/panel/line_callbacks.h"
#include "link/controller.h"
#include "link/transfer_pace.h"
#include "mainpanel/wait_popup.h"
#include "monitor/live_values.h"
#include "panelkit/run_ending.h"
#include "panelkit/status_message.h"
#include "traffic/traffic_tap.h"

void resetAllState(Controller& c) {
    c.line().reset();
    c.reset();
    c.line().setTransferWatcher({});
    forgetWaitPopup();
    resetDataLogState();
    resetChartState();
    resetMonitorState();
    resetRunEnding();
    resetStatusLine();
    forgetStatus();
    setNoticeSwitches({});
    forgetAlarmStatus();
    trafficTap().statistics().reset();
    resetLinePanel();
}
