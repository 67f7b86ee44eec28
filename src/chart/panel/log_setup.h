#pragma once
#include "panelkit/panel_service.h"

#include <string>

int LogFile(int panel, CtrlId control, int event);
int LogFileOnOff(int panel, CtrlId control, int event);
// Shows the log file's folder in the desktop's file manager.
int OpenLogFolder(int panel, CtrlId control, int event);
int FileLogSetupExit(int panel, CtrlId control, int event);
int LogCaution(int panel, CtrlId control, int event);
int LogTimer(int panel, CtrlId control, int event);

// Shows the log switch or its placeholder for the plotting state.
void showLogSwitchFor(int plotting);
// Ends logging from the chart: file closed, LED dark, log switch at 0.
void endLogging();
// Writes one line; a line that cannot be written ends logging with a message.
void logLine(const std::string& line);
