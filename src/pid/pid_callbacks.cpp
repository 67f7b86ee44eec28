#include "pid/pid_callbacks.h"

#include "params/rescale.h"
#include "pid/pid_panel.h"
#include "runtime/callback_registry.h"

void registerPidCallbacks() {
    registerCallback("OpenPidPanel", OpenPidPanel);
    registerCallback("QuitPidParm", QuitPidParm);
    registerCallback("ReadPID", ReadPID);
    registerCallback("WrtPID", WrtPID);
    registerCallback("ReadPIDfromPC", ReadPIDfromPC);
    registerCallback("WrtPIDtoPC", WrtPIDtoPC);
    followRescale(showHeldBlock);
}
