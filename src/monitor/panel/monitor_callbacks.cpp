#include "monitor/panel/monitor_callbacks.h"

#include "mainpanel/rescale.h"
#include "monitor/panel/pv_polling.h"
#include "monitor/panel/set_value.h"
#include "panelkit/callback_registry.h"

void registerMonitorCallbacks() {
    registerCallback("ReadPV", ReadPV);
    registerCallback("PVRd", PVRd);
    registerCallback("ChkAlarm", ChkAlarm);
    registerCallback("SetSVParm", SetSVParm);
    registerCallback("SetOutputLevel", SetOutputLevel);
    showNoPvWhenDisconnected();
    followRescale(readPvAfterRescale);
}
