#include "mainpanel/bulk_read_view.h"

#include "link/registers.h"
#include "mainpanel/decimal_point.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/line_lost_notice.h"
#include "mainpanel/main_panel_view.h"
#include "mainpanel/mode_view.h"
#include "mainpanel/parameter_display.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/status_message.h"
#include "params/bulk_read.h"
#include "params/register_map.h"

#include <string>

namespace {

const int kParameters = int(bulkReadOrder().size());

std::string countText(const BulkReadResult& result) {
    return std::to_string(result.registersRead) + " of " + std::to_string(kParameters);
}

void reportFailures(Controller& c, const BulkReadResult& result) {
    if (result.cancelled) {
        showStatus("parameter read cancelled: " + countText(result) + " parameters read");
        MessagePopup("Parameter Read Cancelled",
                     "The parameter read was cancelled after " + countText(result) +
                         " parameters.\nThe panel shows those just read; the others keep their "
                         "previous values.");
        return;
    }
    if (result.silent)
        showStatus("parameter read stopped: " + countText(result) + " parameters read");
    if (result.silent) {
        if (reportIfLineLost(c, "The parameter read stopped after " +
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
    if (result.failed.empty()) {
        showStatus(std::to_string(result.registersRead) + " parameters read");
        return;
    }
    showStatus(countText(result) + " parameters read");
    MessagePopup("Parameter Read Error",
                 "These parameters could not be read from the controller:\n" +
                     parmRegisterLines(result.failed) + "The panel shows their previous values.");
}

} // namespace

void showReadParameter(Controller& c, uint16_t reg, uint16_t word) {
    if (reg == reg::controlMode) {
        const ControlMode mode = controlModeOf(word);
        MainPanelView::showMode(mode);
        return;
    }
    showParameter(c, reg);
    if (reg == reg::decimalPoint) AdjDecimal(c);
}

void ReadParmsFromMeter(Controller& c) {
    showWaitPopup(c, "reading parameters");
    const BulkReadResult result =
        readParameters(c, [&c](uint16_t reg, uint16_t word) { showReadParameter(c, reg, word); });
    removeWaitPopup(c);
    AdjDecimal(c);
    reportFailures(c, result);
}

int ReadAllParm(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ReadParmsFromMeter(c);
    return 0;
}
