#include "mainpanel/write_report.h"

#include "panelkit/panel_service.h"
#include "panelkit/status_message.h"
#include "params/choice_codes.h"
#include "params/mode_write.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "params/value_text.h"

void reportRefusal() {
    MessagePopup("Parameter Error",
                 "The return byte has shown error!\nPlease check your Hi/Lo Limit.");
}

void reportUnconfirmed(const std::string& what) {
    MessagePopup("No Confirmation",
                 "The controller did not confirm the change of " + what +
                     ".\nCheck the connection, then read the parameters to see what the "
                     "controller holds.");
}

void reportWrite(const Outcome& outcome, const std::string& what) {
    if (outcome.refused())
        reportRefusal();
    else if (!outcome.ok())
        reportUnconfirmed(what);
}

void reportModeWrite(const Outcome& outcome, ControlMode mode) {
    std::string name = choices::unknownText(codeOf(mode));
    for (const Choice& c : choices::controlMode)
        if (c.code == codeOf(mode)) name = c.label;
    showStatus(writeStatusText(outcome, "mode", name, outcome.ok() ? name : ""));
    // The setters' refusal text points at the Hi/Lo limits, which have
    // nothing to do with a mode.
    if (outcome.refused())
        MessagePopup("Control Mode Refused",
                     modeWriteFailure(outcome, mode) + "\nIt keeps the mode it was in.");
    else if (!outcome.ok())
        MessagePopup("No Confirmation",
                     modeWriteFailure(outcome, mode) +
                         "\nIt may still be in its previous mode: check the connection and the "
                         "controller's display.");
}

std::string writeStatusText(const Outcome& outcome, const std::string& what,
                            const std::string& tried, const std::string& held,
                            const std::string& done) {
    if (outcome.ok()) return what + " " + held + " " + done;
    std::string text = what + " " + tried +
                       (outcome.refused() ? " refused (" : " not confirmed (") + describe(outcome) +
                       ")";
    if (!held.empty()) text += "; the controller holds " + held;
    return text;
}

void showParameterWrite(Controller& c, const Outcome& outcome, uint16_t reg,
                        const std::string& tried) {
    const std::string held = c.isHeld(reg) ? parameterShownText(reg, c.parmRecord, c.scale()) : "";
    showStatus(writeStatusText(outcome, parmRegisterLabel(reg), tried, held));
}

void showGroupWrite(const std::string& group, int registers, int refused, int unconfirmed) {
    const std::string count = std::to_string(registers) + " registers";
    if (refused == 0 && unconfirmed == 0) {
        showStatus(group + " written (" + count + ")");
        return;
    }
    std::string text = group + " not written whole (" + count + "):";
    if (refused) text += " " + std::to_string(refused) + " refused";
    if (refused && unconfirmed) text += ",";
    if (unconfirmed) text += " " + std::to_string(unconfirmed) + " not confirmed";
    showStatus(text);
}
