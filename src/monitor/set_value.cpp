#include "monitor/set_value.h"

#include "link/link_state.h"
#include "link/transaction.h"
#include "params/params_state.h"
#include "runtime/ids/main_panel.h"
#include "runtime/panel_handles.h"

#include <algorithm>
#include <cstring>

namespace {

// The echo buffer is cleared before each write so a write that gets no reply
// is never judged by the echo of an earlier one.
Reply writeRegister(Frame request, int16_t value) {
    std::memset(gTx.writeEcho, 0, sizeof gTx.writeEcho);
    const Reply reply = exchangeWrite(request, gLink.controllerId, value);
    std::copy_n(reply.bytes, sizeof gTx.writeEcho, gTx.writeEcho);
    return reply;
}

// The low 16 bits of the rounded value: the entry limits keep it in range.
int16_t toRegister(double scaled) {
    return int16_t(RoundRealToNearestInteger(scaled));
}

} // namespace

void SetSV() {
    const float scaled = gParams.parmRecord.sv * gParams.dpMultiplier;
    const Reply reply = writeRegister(templates::setValue, toRegister(scaled));
    if (gTx.writeEcho[1] > 0x80) {
        MessagePopup("Parameter Error",
                     "The return byte has shown error!\nPlease check your Hi/Lo Limit.");
        return;
    }
    // Without its echo the operator cannot know the controller took the value.
    if (!reply.complete(8))
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
    writeRegister(templates::outputLevel, toRegister(double(percent) * 10.0));
    return 0;
}
