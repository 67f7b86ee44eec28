#include "params/wait_popup.h"

#include "params/params_state.h"
#include "runtime/panel_handles.h"
#include "runtime/panel_service.h"

void showWaitPopup() {
    if (gParams.waitShown != 1) InstallPopup(gPanels.wait);
    gParams.waitShown = 1;
}

void removeWaitPopup() {
    gParams.waitShown = 0;
    RemovePopup(0);
}
