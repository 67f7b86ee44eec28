#include "app/callbacks.h"

#include "app/ring_tables.h"
#include "chart/panel/chart_callbacks.h"
#include "connection/panel/connection_callbacks.h"
#include "lines/panel/line_callbacks.h"
#include "mainpanel/params_callbacks.h"
#include "monitor/panel/monitor_callbacks.h"
#include "pid/panel/pid_callbacks.h"
#include "program/panel/program_callbacks.h"
#include "service/service_callbacks.h"
#include "traffic/panel/traffic_callbacks.h"

void registerAllCallbacks(Controller& c) {
    registerChoiceTables(); // rings are filled from these when panels load
    registerConnectionCallbacks(c);
    registerParamsCallbacks(c);
    registerMonitorCallbacks(c);
    registerChartCallbacks(c);
    registerProgramCallbacks(c);
    registerPidCallbacks(c);
    registerServiceCallbacks(c);
    registerTrafficCallbacks();
    registerLineCallbacks(c);
}
