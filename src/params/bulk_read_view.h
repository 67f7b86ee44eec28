#pragma once
// The parameter read as the operator sees it: the wait popup, each value
// shown as it arrives, and one message for what could not be read.
#include "runtime/panel_service.h"

#include <cstdint>

// Reads every parameter the main panel shows from the controller.
void ReadParmsFromMeter();
// Dims (1) or undims (0) the main panel controls that need a controller.
void DimmedParmMenuFunction(uint16_t dimmed);
int ReadAllParm(int panel, CtrlId control, int event);
