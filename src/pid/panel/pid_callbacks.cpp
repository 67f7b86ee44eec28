#include "pid/panel/pid_callbacks.h"

#include "mainpanel/rescale.h"
#include "panelkit/callback_registry.h"
#include "pid/panel/pid_panel.h"

void registerPidCallbacks(Controller& c, Rescale& rescale) {
    registerCallback("OpenPidPanel", boundTo<OpenPidPanel>(c));
    registerCallback("QuitPidParm", QuitPidParm);
    registerCallback("ReadPID", boundTo<ReadPID>(c));
    registerCallback("WrtPID", boundTo<WrtPID>(c));
    registerCallback("ReadPIDfromPC", boundTo<ReadPIDfromPC>(c));
    registerCallback("WrtPIDtoPC", boundTo<WrtPIDtoPC>(c));
    rescale.follow(showHeldBlock);
}
