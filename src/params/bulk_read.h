#pragma once
#include "runtime/panel_service.h"

#include <cstdint>

// Reads every parameter the main panel shows from the controller.
void ReadParmsFromMeter();
// Dims (1) or undims (0) the main panel controls that need a controller.
void DimmedParmMenuFunction(uint16_t dimmed);
int ReadAllParm(int panel, CtrlId control, int event);
