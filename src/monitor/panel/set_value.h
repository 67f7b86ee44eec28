#pragma once
#include "link/parm_record.h"
#include "panelkit/panel_service.h"

class Controller;

// SV entry commit: the entry becomes the record's sv, which is then written.
int SetSVParm(Controller& c, int panel, CtrlId control, int event);
// Writes the record's sv to the controller's set value register; before is
// the record until the operator changed sv. A refused or unconfirmed write
// leaves the record and the SV entry with what the controller holds.
void SetSV(Controller& c, const ParmRecord& before);
// Output SET button: writes the output level numeric (percent) for Manual
// mode, when it shows a level within the entry's range.
int SetOutputLevel(Controller& c, int panel, CtrlId control, int event);
