#include "app/callbacks.h"

#include "app/panel_objects.h"
#include "app/ring_tables.h"
#include "chart/panel/chart_callbacks.h"
#include "connection/panel/connection_callbacks.h"
#include "lines/panel/line_work.h"
#include "mainpanel/params_callbacks.h"
#include "monitor/panel/monitor_callbacks.h"
#include "panelkit/callback_registry.h"
#include "panelkit/gui_call.h"
#include "pid/panel/pid_callbacks.h"
#include "program/panel/program_callbacks.h"
#include "service/service_callbacks.h"
#include "traffic/panel/traffic_panel.h"

void registerAllCallbacks(PanelObjects& o) {
    registerChoiceTables(); // rings are filled from these when panels load
    registerConnectionCallbacks(o.connection);
    registerParamsCallbacks(o.controller, o.rescale);
    registerMonitorCallbacks(o.controller, o.rescale);
    registerChartCallbacks(o.chart);
    registerProgramCallbacks(o.stepProgram);
    registerPidCallbacks(o.controller, o.rescale);
    registerServiceCallbacks(o.controller, o.engCode);
    registerLineCallbacks(o.linePanel);
    // The main panel's Traffic button and its line-health line.
    registerCallback("OpenTrafficPanel", [&o](int, CtrlId, int event) {
        if (event == EVENT_COMMIT)
            QMetaObject::invokeMethod(&o.trafficPanel, &TrafficPanel::open, Qt::QueuedConnection);
        return 0;
    });
    registerCallback("OpenProgramsPanel", [&o](int, CtrlId, int event) {
        if (event == EVENT_COMMIT) onGui([&o] { showProgramsPanel(o); });
        return 0;
    });
    registerCallback("OpenRunsPanel", [&o](int, CtrlId, int event) {
        if (event == EVENT_COMMIT) onGui([&o] { showRunsPanel(o); });
        return 0;
    });
}
