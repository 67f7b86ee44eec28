#include "service/service_callbacks.h"

#include "link/registers.h"
#include "mainpanel/parameter_display.h"
#include "panelkit/callback_registry.h"
#include "service/debug_block.h"
#include "service/debug_converter.h"
#include "service/debug_frame.h"
#include "service/eng_access.h"
#include "service/ids/debug_panel.h"

void registerServiceCallbacks(Controller& c, EngCodePanel& engCode) {
    registerCallback("Info", boundTo<Info>(engCode));
    registerCallback("NonUserPopup", NonUserPopup);
    registerCallback("OpenDebugPanel", OpenDebugPanel);
    registerCallback("QuitDebug", QuitDebug);
    registerCallback("CheckFunc", CheckFunc);
    registerCallback("WrtOn", boundTo<WrtOn>(c));
    registerCallback("ReadBlock", boundTo<ReadBlock>(c));
    registerCallback("DecToHexConv", boundTo<DecToHexConv>(c));
    registerCallback("HexToDecConv", boundTo<HexToDecConv>(c));
    registerCallback("DebugPorting", DebugPorting);
    // The debug panel shows the key lock among its own controls.
    showParameterOnDebugPanel(reg::keyLock, DebugPanel::lockRing,
                              [] { return DebugPanel::handle; });
}
