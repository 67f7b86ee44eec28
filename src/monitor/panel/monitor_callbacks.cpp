#include "monitor/panel/monitor_callbacks.h"

#include "mainpanel/rescale.h"
#include "monitor/panel/pv_polling.h"
#include "monitor/panel/set_value.h"
#include "panelkit/callback_registry.h"

void registerMonitorCallbacks(Controller& c, Rescale& rescale) {
    registerCallback("ReadPV", boundTo<ReadPV>(c));
    registerCallback("PVRd", boundTo<PVRd>(c));
    registerCallback("SetSVParm", boundTo<SetSVParm>(c));
    registerCallback("SetOutputLevel", boundTo<SetOutputLevel>(c));
    rescale.follow(readPvAfterRescale);
}
