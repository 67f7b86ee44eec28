#include "app/panel_set.h"

#include "lines/panel/line_callbacks.h"
#include "panelkit/panel_handles.h"
#include "panelkit/panel_service.h"
#include "panelkit/window_place.h"
#include "traffic/panel/traffic_panel.h"

bool loadAllPanels(Controller& c) {
    gPanels = PanelHandles{};
    gPanels.main = LoadPanel(0, "main.ui", 1);
    if (gPanels.main < 0) return false;
    setMainPanel(gPanels.main);
    gPanels.debug = LoadPanel(0, "debug.ui", 1);
    gPanels.chart = LoadPanel(0, "chart.ui", 1);
    gPanels.yscale = LoadPanel(gPanels.chart, "chart_yscale.ui", 1);
    gPanels.wait = LoadPanel(0, "wait.ui", 1);
    gPanels.stepProgram = LoadPanel(0, "step_program.ui", 1);
    gPanels.logSetup = LoadPanel(gPanels.chart, "log_setup.ui", 1);
    gPanels.pid = LoadPanel(0, "pid.ui", 1);
    gPanels.engCode = LoadPanel(0, "eng_code.ui", 1);
    gPanels.traffic = LoadPanel(0, "traffic.ui", 1);
    gPanels.connection = LoadPanel(0, "connection.ui", 1);
    if (gPanels.traffic > 0) setUpTrafficPanel(c, gPanels.traffic);
    setUpLinePanel(LoadPanel(0, "line.ui", 1));
    return true;
}
