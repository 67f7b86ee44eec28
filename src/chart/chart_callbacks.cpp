#include "chart/chart_callbacks.h"

#include "chart/chart_image.h"
#include "chart/chart_panel.h"
#include "chart/log_setup.h"
#include "chart/yscale_panel.h"
#include "runtime/callback_registry.h"

void registerChartCallbacks() {
    registerCallback("OpenChartPanel", OpenChartPanel);
    registerCallback("Plot", Plot);
    registerCallback("GetData", GetData);
    registerCallback("ClearChart", ClearChart);
    registerCallback("ChgYScale", ChgYScale);
    registerCallback("CloseYscale", CloseYscale);
    registerCallback("SetYAutoScale", SetYAutoScale);
    registerCallback("SaveChartImage", SaveChartImage);
    registerCallback("ChartExit", ChartExit);
    registerCallback("LogFile", LogFile);
    registerCallback("LogFileOnOff", LogFileOnOff);
    registerCallback("OpenLogFolder", OpenLogFolder);
    registerCallback("FileLogSetupExit", FileLogSetupExit);
    registerCallback("LogCaution", LogCaution);
    registerCallback("LogTimer", LogTimer);
}
