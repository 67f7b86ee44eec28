#include "app/callbacks.h"

#include "app/ring_tables.h"
#include "chart/chart_callbacks.h"
#include "connection/connection_callbacks.h"
#include "monitor/monitor_callbacks.h"
#include "params/params_callbacks.h"
#include "pid/pid_callbacks.h"
#include "program/program_callbacks.h"
#include "service/service_callbacks.h"
#include "traffic/traffic_callbacks.h"

void registerAllCallbacks() {
    registerChoiceTables(); // rings are filled from these when panels load
    registerConnectionCallbacks();
    registerParamsCallbacks();
    registerMonitorCallbacks();
    registerChartCallbacks();
    registerProgramCallbacks();
    registerPidCallbacks();
    registerServiceCallbacks();
    registerTrafficCallbacks();
}
