#include "monitor/panel/set_value.h"

#include "base/number_text.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/parameter_display.h"
#include "mainpanel/write_report.h"
#include "monitor/live_writes.h"
#include "panelkit/status_message.h"
#include "params/parameter_write.h"
#include "params/params_state.h"
#include "params/value_text.h"

#include <string>

namespace ids = MainPanel;

namespace {

// SET sends what the field shows, so the field must show a level the
// operator could have typed: not a blank, and not a value beyond the entry's
// range that came from the controller (above 100 %) and is only shown as read.
bool outputLevelSendable(float percent) {
    const int p = MainPanel::handle;
    double shows = 1, low = 0, high = 100;
    GetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_SHOWS_VALUE, &shows);
    GetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_MIN_VALUE, &low);
    GetCtrlAttribute(p, ids::outputLevelNumeric, ATTR_MAX_VALUE, &high);
    const std::string range = formatFixed(low, 1) + " to " + formatFixed(high, 1) + " %";
    if (shows == 0) {
        MessagePopup("Entry Refused", "The output level shows no value.\nType a level from " +
                                          range + ", then press SET.\nNothing was sent.");
        return false;
    }
    if (percent < low || percent > high) {
        MessagePopup("Entry Refused",
                     "The output level " + formatFixed(percent, 1) +
                         " % is what the controller holds, outside the range of " + range +
                         ".\nType a level within it, then press SET.\nNothing was sent.");
        return false;
    }
    return true;
}

} // namespace

void SetSV(Controller& c, const ParmRecord& before) {
    const std::string tried = parameterShownText(reg::setValue, c.parmRecord, c.scale());
    Transfer transfer(c);
    const Outcome outcome = writeParameter(transfer, reg::setValue, before);
    showParameterWrite(c, outcome, reg::setValue, tried);
    if (outcome.ok()) return;
    // The entry shows the set value the controller holds, before the
    // operator reads why.
    showParameter(c, reg::setValue);
    if (outcome.refused()) {
        reportRefusal();
        return;
    }
    // Without its echo the operator cannot know the controller took the value.
    MessagePopup("Set Value Not Confirmed", "The controller did not confirm the new set value.\n"
                                            "Check the connection and enter the set value again.");
}

int SetSVParm(Controller& c, int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    float sv = 0;
    GetCtrlVal(panel, control, &sv);
    const ParmRecord before = c.parmRecord;
    c.parmRecord.sv = sv;
    SetSV(c, before);
    return 0;
}

int SetOutputLevel(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const int p = MainPanel::handle;
    float percent = 0;
    GetCtrlVal(p, ids::outputLevelNumeric, &percent);
    if (!outputLevelSendable(percent)) return 0;
    // The level is a live value, not part of the configuration as read: the
    // record keeps what the parameter read found.
    Transfer transfer(c);
    const Outcome outcome = writeOutputLevel(transfer, percent);
    const auto levelText = [](float level) { return formatFixed(level, 1) + " %"; };
    if (outcome.ok()) {
        showStatus(writeStatusText(outcome, "output", "",
                                   levelText(outputLevelPercent(writtenWord(c))), "set"));
        return 0;
    }
    // A level the controller did not take must not stay on show as if it
    // had: the field shows the level it holds, or nothing when that cannot
    // be read either.
    const auto word = readBack(transfer, reg::outputLevel);
    if (word)
        SetCtrlVal(p, ids::outputLevelNumeric, outputLevelPercent(*word));
    else
        ClearCtrlVal(p, ids::outputLevelNumeric);
    showStatus(writeStatusText(outcome, "output", levelText(percent),
                               word ? levelText(outputLevelPercent(*word)) : "", "set"));
    if (outcome.refused()) {
        // The setters' refusal text points at the Hi/Lo limits, which have
        // nothing to do with the output.
        const std::string name = exceptionName(outcome.exceptionCode);
        MessagePopup("Output Level Refused",
                     "The controller refused the output level " + formatFixed(percent, 1) + " % (" +
                         describe(outcome) + (name.empty() ? "" : ", " + name) +
                         ").\nThe field shows the level it holds.");
    } else {
        reportUnconfirmed("the output level");
    }
    return 0;
}
