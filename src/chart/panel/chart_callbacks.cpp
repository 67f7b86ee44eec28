#include "chart/panel/chart_callbacks.h"

#include "chart/panel/chart_image.h"
#include "chart/panel/chart_panel.h"
#include "chart/panel/log_setup.h"
#include "chart/panel/yscale_panel.h"
#include "panelkit/callback_registry.h"

void registerChartCallbacks(Chart& chart) {
    registerCallback("OpenChartPanel", boundTo<OpenChartPanel>(chart));
    registerCallback("Plot", boundTo<Plot>(chart));
    registerCallback("GetData", boundTo<GetData>(chart));
    registerCallback("ClearChart", ClearChart);
    registerCallback("ChgYScale", boundTo<ChgYScale>(chart));
    registerCallback("CloseYscale", boundTo<CloseYscale>(chart));
    registerCallback("SetYAutoScale", SetYAutoScale);
    registerCallback("SaveChartImage", SaveChartImage);
    registerCallback("ChartExit", boundTo<ChartExit>(chart));
    registerCallback("LogFile", boundTo<LogFile>(chart));
    registerCallback("LogFileOnOff", boundTo<LogFileOnOff>(chart));
    registerCallback("OpenLogFolder", boundTo<OpenLogFolder>(chart));
    registerCallback("FileLogSetupExit", boundTo<FileLogSetupExit>(chart));
    registerCallback("LogCaution", LogCaution);
    registerCallback("LogTimer", boundTo<LogTimer>(chart));
}
