#include "params/bulk_read.h"

#include "link/crc.h"
#include "link/link_state.h"
#include "link/reply_checks.h"
#include "link/transaction.h"
#include "params/decimal_point.h"
#include "params/parameter_display.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "params/wait_popup.h"
#include "runtime/ids/main_panel.h"
#include "runtime/panel_handles.h"

#include <string>
#include <vector>

namespace {

// Exchanges in a row that brought back nothing at all before the read gives
// up on a silent controller.
constexpr int kSilentLimit = 3;

class RegisterReader {
  public:
    // Reads one register, asking once more after a bad reply. False when no
    // good reply came; silent() then tells whether the controller has gone quiet.
    bool read(uint16_t reg, uint8_t& high, uint8_t& low) {
        for (int attempt = 0; attempt < 2 && !silent(); ++attempt) {
            Frame frame = readTemplate(reg);
            const Reply reply = exchange(frame, gLink.controllerId, 7);
            silentInARow_ = reply.count == 0 ? silentInARow_ + 1 : 0;
            if (isReadReply(reply.bytes, reply.count, gLink.controllerId, 1)) {
                high = reply.bytes[3];
                low = reply.bytes[4];
                return true;
            }
        }
        return false;
    }
    bool silent() const { return silentInARow_ >= kSilentLimit; }

  private:
    int silentInARow_ = 0;
};

void storeAndShow(uint16_t reg, uint8_t high, uint8_t low) {
    const ParmRegister* r = findParmRegister(reg);
    if (!r) return;
    ParmRecord& rec = gParams.parmRecord;
    if (r->isReal()) rec.*(r->real) = decodeReal(r->enc, high, low, gParams.dpDivisor);
    else rec.*(r->word) = decodeInt(r->enc, high, low);
    showParameter(reg);
}

// The main panel's controls that follow the control mode.
void showMode(int mode) {
    const int main = gPanels.main;
    SetCtrlVal(main, MainPanel::modeRing, mode);
    if (mode == 4) {
        SetCtrlAttribute(main, MainPanel::autoTuneTimer, ATTR_ENABLED, 0);
        SetCtrlAttribute(main, MainPanel::outputLevelNumeric, ATTR_CTRL_MODE, 1);
        SetCtrlAttribute(main, MainPanel::outputSetButton, ATTR_DIMMED, 0);
    } else if (mode == 2 || mode == 3) {
        SetCtrlAttribute(main, MainPanel::autoTuneTimer, ATTR_ENABLED, 1);
        SetCtrlAttribute(main, MainPanel::outputLevelNumeric, ATTR_CTRL_MODE, 0);
        SetCtrlAttribute(main, MainPanel::outputSetButton, ATTR_DIMMED, 1);
    } else if (mode == 1) {
        SetCtrlAttribute(main, MainPanel::autoTuneTimer, ATTR_ENABLED, 0);
        SetCtrlAttribute(main, MainPanel::outputLevelNumeric, ATTR_CTRL_MODE, 0);
        SetCtrlAttribute(main, MainPanel::outputSetButton, ATTR_DIMMED, 1);
    }
    if (mode != 0) {
        SetCtrlVal(main, MainPanel::outputIndicator, 1);
    } else {
        SetCtrlVal(main, MainPanel::outputIndicator, 0);
        SetCtrlAttribute(main, MainPanel::autoTuneTimer, ATTR_ENABLED, 0);
        SetCtrlAttribute(main, MainPanel::outputLevelNumeric, ATTR_CTRL_MODE, 0);
        SetCtrlAttribute(main, MainPanel::outputSetButton, ATTR_DIMMED, 1);
    }
}

void reportFailures(const std::vector<uint16_t>& failed, bool silent, int registersRead) {
    if (silent) {
        MessagePopup("Controller Not Answering",
                     "The controller does not answer.\nThe parameter read stopped after " +
                         std::to_string(registersRead) +
                         " of 26 parameters; the panel keeps its previous values.\nCheck the "
                         "cable, the COM port and the controller ID, then press Read.");
        return;
    }
    if (failed.empty()) return;
    std::string text = "These parameters could not be read from the controller:\n";
    for (uint16_t reg : failed) text += "    " + parmRegisterName(reg) + "\n";
    text += "The panel shows their previous values.";
    MessagePopup("Parameter Read Error", text);
}

} // namespace

void ReadParmsFromMeter() {
    showWaitPopup();
    preparation(0.02);

    RegisterReader reader;
    std::vector<uint16_t> failed;
    int registersRead = 0;
    for (uint16_t reg : bulkReadOrder()) {
        uint8_t high = 0, low = 0;
        if (!reader.read(reg, high, low)) {
            if (reader.silent()) break;
            failed.push_back(reg);
            continue;
        }
        ++registersRead;
        if (reg == kModeRegister) {
            showMode(low);
            continue;
        }
        storeAndShow(reg, high, low);
        // Every scaled value after it is divided by the divisor it implies.
        if (reg == kDecimalPointRegister) AdjDecimal();
    }

    removeWaitPopup();
    AdjDecimal();
    reportFailures(failed, reader.silent(), registersRead);
}

void DimmedParmMenuFunction(uint16_t dimmed) {
    const int main = gPanels.main;
    auto dim = [&](CtrlId c) { SetCtrlAttribute(main, c, ATTR_DIMMED, dimmed); };
    dim(MainPanel::readButton);
    // Only the 'D' model has the ramp and soft-start function.
    if (gLink.controllerVariant == 2) dim(MainPanel::softStartUpdateButton);
    dim(MainPanel::saveFileButton);
    dim(MainPanel::loadFileButton);
    dim(MainPanel::optionUpdateButton);
    dim(MainPanel::pvReadSwitch);
    dim(MainPanel::alarmUpdateButton);
    dim(MainPanel::modeRing);
    dim(MainPanel::stepProgramButton);
    dim(MainPanel::sensorRing);
    dim(MainPanel::eropRing);
    dim(MainPanel::unitRing);
    dim(MainPanel::actionRing);
    dim(MainPanel::decimalPointRing);
    dim(MainPanel::timeUnitRing);
    dim(MainPanel::svEntry);
}

int ReadAllParm(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ReadParmsFromMeter();
    return 0;
}
