#pragma once
#include "runtime/panel_service.h"

// SV entry commit: the entry becomes the record's sv, which is then written.
int SetSVParm(int panel, CtrlId control, int event);
// Writes the record's sv to the controller's set value register.
void SetSV();
// Output SET button: writes the output level numeric (percent) for Manual mode.
int SetOutputLevel(int panel, CtrlId control, int event);
