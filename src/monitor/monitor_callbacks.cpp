#include "monitor/monitor_callbacks.h"

#include "monitor/pv_polling.h"
#include "monitor/set_value.h"
#include "params/rescale.h"
#include "runtime/callback_registry.h"

void registerMonitorCallbacks() {
    registerCallback("ReadPV", ReadPV);
    registerCallback("PVRd", PVRd);
    registerCallback("ChkAlarm", ChkAlarm);
    registerCallback("SetSVParm", SetSVParm);
    registerCallback("SetOutputLevel", SetOutputLevel);
    showNoPvWhenDisconnected();
    followRescale(readPvAfterRescale);
}
