#include "service/service_callbacks.h"

#include "runtime/callback_registry.h"
#include "service/debug_converter.h"
#include "service/debug_frame.h"
#include "service/eng_access.h"

void registerServiceCallbacks() {
    registerCallback("CheckEngCode", CheckEngCode);
    registerCallback("ClosePopup", ClosePopup);
    registerCallback("NonUserPopup", NonUserPopup);
    registerCallback("OpenDebugPanel", OpenDebugPanel);
    registerCallback("QuitDebug", QuitDebug);
    registerCallback("CheckFunc", CheckFunc);
    registerCallback("WrtOn", WrtOn);
    registerCallback("DecToHexConv", DecToHexConv);
    registerCallback("HexToDecConv", HexToDecConv);
    registerCallback("DebugPorting", DebugPorting);
}
