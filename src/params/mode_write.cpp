#include "params/mode_write.h"

#include "params/choice_codes.h"
#include "params/register_map.h"
#include "runtime/panel_service.h"

namespace {

std::string modeName(int mode) {
    for (const Choice& c : choices::controlMode)
        if (c.code == mode) return std::string(c.label);
    return std::to_string(mode);
}

} // namespace

WriteOutcome writeControlMode(int mode) {
    return writeRegister(kModeRegister, int16_t(mode & 0xFF));
}

std::string modeWriteFailure(WriteOutcome outcome, int mode) {
    const std::string named = "control mode " + modeName(mode);
    switch (outcome) {
    case WriteOutcome::Confirmed:
        return "";
    case WriteOutcome::Refused:
        return "The controller refused " + named + " (exception code " +
               std::to_string(refusalCode()) + ").";
    case WriteOutcome::Unconfirmed:
    case WriteOutcome::NoReply:
        break;
    }
    return "The controller did not confirm " + named + ".";
}

void reportModeWrite(WriteOutcome outcome, int mode) {
    // The setters' refusal text points at the Hi/Lo limits, which have
    // nothing to do with a mode.
    if (outcome == WriteOutcome::Refused)
        MessagePopup("Control Mode Refused",
                     modeWriteFailure(outcome, mode) + "\nIt keeps the mode it was in.");
    else if (outcome != WriteOutcome::Confirmed)
        MessagePopup("No Confirmation",
                     modeWriteFailure(outcome, mode) +
                         "\nIt may still be in its previous mode: check the connection and the "
                         "controller's display.");
}
