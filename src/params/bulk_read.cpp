#include "params/bulk_read.h"

#include "params/params_state.h"
#include "runtime/panel_handles.h"

void ReadParmsFromMeter() {
    if (gParams.waitShown != 1) InstallPopup(gPanels.wait);
    gParams.waitShown = 1;
    gParams.waitShown = 0;
    RemovePopup(0);
}

void DimmedParmMenuFunction(uint16_t) {}

int ReadAllParm(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ReadParmsFromMeter();
    return 0;
}
