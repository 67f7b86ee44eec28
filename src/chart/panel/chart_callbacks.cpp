#include "chart/panel/chart_callbacks.h"

#include "chart/panel/chart_image.h"
#include "chart/panel/chart_panel.h"
#include "chart/panel/log_setup.h"
#include "chart/panel/yscale_panel.h"
#include "panelkit/callback_registry.h"

void registerChartCallbacks(Controller& c) {
    registerCallback("OpenChartPanel", boundTo<OpenChartPanel>(c));
    registerCallback("Plot", boundTo<Plot>(c));
    registerCallback("GetData", boundTo<GetData>(c));
    registerCallback("ClearChart", ClearChart);
    registerCallback("ChgYScale", ChgYScale);
    registerCallback("CloseYscale", CloseYscale);
    registerCallback("SetYAutoScale", SetYAutoScale);
    registerCallback("SaveChartImage", SaveChartImage);
    registerCallback("ChartExit", boundTo<ChartExit>(c));
    registerCallback("LogFile", LogFile);
    registerCallback("LogFileOnOff", LogFileOnOff);
    registerCallback("OpenLogFolder", OpenLogFolder);
    registerCallback("FileLogSetupExit", FileLogSetupExit);
    registerCallback("LogCaution", LogCaution);
    registerCallback("LogTimer", LogTimer);
}
