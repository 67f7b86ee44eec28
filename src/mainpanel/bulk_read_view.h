#pragma once
// The parameter read as the operator sees it: the wait popup, each value
// shown as it arrives, and one message for what could not be read.
#include "mainpanel/controller_controls.h"
#include "panelkit/panel_service.h"

#include <cstdint>

class Controller;

// Reads every parameter the main panel shows from the controller.
void ReadParmsFromMeter(Controller& c);
// Shows one register just read, as the parameter read does (its progress call).
void showReadParameter(Controller& c, uint16_t reg, uint16_t word);
int ReadAllParm(Controller& c, int panel, CtrlId control, int event);
