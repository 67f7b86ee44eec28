#include "params/bulk_read_view.h"

#include "link/registers.h"
#include "params/bulk_read.h"
#include "params/decimal_point.h"
#include "params/ids/main_panel.h"
#include "params/line_lost_notice.h"
#include "params/mode_view.h"
#include "params/parameter_display.h"
#include "params/register_map.h"
#include "params/wait_popup.h"
#include "runtime/panel_handles.h"

#include <string>

namespace {

void showRead(uint16_t reg, uint16_t word) {
    if (reg == reg::controlMode) {
        const int mode = word & 0xFF;
        SetCtrlVal(gPanels.main, MainPanel::modeRing, mode);
        showModeControls(mode);
        return;
    }
    showParameter(reg);
    if (reg == reg::decimalPoint) AdjDecimal();
}

void reportFailures(const BulkReadResult& result) {
    if (result.silent) {
        if (reportIfLineLost("The parameter read stopped after " +
                             std::to_string(result.registersRead) +
                             " of 26 parameters; the panel keeps its previous values."))
            return;
        MessagePopup("Controller Not Answering",
                     "The controller does not answer.\nThe parameter read stopped after " +
                         std::to_string(result.registersRead) +
                         " of 26 parameters; the panel keeps its previous values.\nCheck the "
                         "cable, the COM port and the controller ID, then press Read.");
        return;
    }
    if (result.failed.empty()) return;
    std::string text = "These parameters could not be read from the controller:\n";
    for (uint16_t reg : result.failed)
        text += "    " + parmRegisterName(reg) + "\n";
    text += "The panel shows their previous values.";
    MessagePopup("Parameter Read Error", text);
}

} // namespace

void ReadParmsFromMeter() {
    showWaitPopup();
    const BulkReadResult result = readParameters(showRead);
    removeWaitPopup();
    AdjDecimal();
    reportFailures(result);
}

int ReadAllParm(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ReadParmsFromMeter();
    return 0;
}
