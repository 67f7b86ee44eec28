#include "monitor/set_value.h"

#include "link/registers.h"
#include "link/transfer.h"
#include "params/ids/main_panel.h"
#include "params/params_state.h"
#include "params/write_report.h"
#include "runtime/panel_handles.h"

namespace {

// The low 16 bits of the rounded value: the entry limits keep it in range.
int16_t toRegister(double scaled) {
    return int16_t(RoundRealToNearestInteger(scaled));
}

} // namespace

void SetSV() {
    const float scaled = gParams.parmRecord.sv * gParams.dpMultiplier;
    const Outcome outcome = writeRegister(reg::setValue, toRegister(scaled));
    if (outcome.refused()) {
        reportRefusal();
        return;
    }
    // Without its echo the operator cannot know the controller took the value.
    if (!outcome.ok())
        MessagePopup("Set Value Not Confirmed",
                     "The controller did not confirm the new set value.\n"
                     "Check the connection and enter the set value again.");
}

int SetSVParm(int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    float sv = 0;
    GetCtrlVal(panel, control, &sv);
    gParams.parmRecord.sv = sv;
    SetSV();
    return 0;
}

int SetOutputLevel(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    float percent = 0;
    GetCtrlVal(gPanels.main, MainPanel::outputLevelNumeric, &percent);
    // The echo is not reported: in Manual the level is sent again at will,
    // and PV shows what it does.
    writeRegister(reg::outputLevel, toRegister(double(percent) * 10.0));
    return 0;
}
