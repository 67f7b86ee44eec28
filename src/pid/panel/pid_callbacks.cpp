#include "pid/panel/pid_callbacks.h"

#include "mainpanel/rescale.h"
#include "panelkit/callback_registry.h"
#include "pid/panel/pid_panel.h"

void registerPidCallbacks() {
    registerCallback("OpenPidPanel", OpenPidPanel);
    registerCallback("QuitPidParm", QuitPidParm);
    registerCallback("ReadPID", ReadPID);
    registerCallback("WrtPID", WrtPID);
    registerCallback("ReadPIDfromPC", ReadPIDfromPC);
    registerCallback("WrtPIDtoPC", WrtPIDtoPC);
    followRescale(showHeldBlock);
}
