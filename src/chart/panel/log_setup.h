#pragma once
#include "panelkit/panel_service.h"

#include <string>

struct Chart;
class DataLog;

int LogFile(Chart& chart, int panel, CtrlId control, int event);
int LogFileOnOff(Chart& chart, int panel, CtrlId control, int event);
// Shows the log file's folder in the desktop's file manager.
int OpenLogFolder(Chart& chart, int panel, CtrlId control, int event);
int FileLogSetupExit(Chart& chart, int panel, CtrlId control, int event);
int LogCaution(int panel, CtrlId control, int event);
int LogTimer(Chart& chart, int panel, CtrlId control, int event);

// Shows the log switch or its placeholder for the plotting state.
void showLogSwitchFor(int plotting);
// Ends logging from the chart: file closed, LED dark, log switch at 0.
void endLogging(DataLog& log);
// Writes one line; a line that cannot be written ends logging with a message.
void logLine(DataLog& log, const std::string& line);
