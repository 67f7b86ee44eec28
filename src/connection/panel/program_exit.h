#pragma once
#include "panelkit/panel_service.h"

struct Connection;

int Quit(Connection& connection, int panel, CtrlId control, int event);
int ExitParm(Connection& connection, int panel, CtrlId control, int event);
