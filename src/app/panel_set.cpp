#include "app/panel_set.h"

#include "app/panel_objects.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/chart_yscale_panel.h"
#include "chart/panel/ids/log_setup_panel.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/ids/wait_panel.h"
#include "panelkit/panel_service.h"
#include "panelkit/window_place.h"
#include "pid/panel/ids/pid_panel.h"
#include "program/panel/ids/step_program_panel.h"
#include "service/ids/debug_panel.h"

bool loadAllPanels(PanelObjects& /*objects*/) {
    // Each panel's folder keeps its handle; none is left from an earlier load.
    for (int* handle :
         {&MainPanel::handle, &DebugPanel::handle, &ChartPanel::handle, &ChartYscalePanel::handle,
          &WaitPanel::handle, &StepProgramPanel::handle, &LogSetupPanel::handle, &PidPanel::handle})
        *handle = 0;
    MainPanel::handle = LoadPanel(0, "main.ui", 1);
    if (MainPanel::handle < 0) return false;
    setMainPanel(MainPanel::handle);
    DebugPanel::handle = LoadPanel(0, "debug.ui", 1);
    ChartPanel::handle = LoadPanel(0, "chart.ui", 1);
    ChartYscalePanel::handle = LoadPanel(ChartPanel::handle, "chart_yscale.ui", 1);
    WaitPanel::handle = LoadPanel(0, "wait.ui", 1);
    StepProgramPanel::handle = LoadPanel(0, "step_program.ui", 1);
    LogSetupPanel::handle = LoadPanel(ChartPanel::handle, "log_setup.ui", 1);
    PidPanel::handle = LoadPanel(0, "pid.ui", 1);
    return true;
}
