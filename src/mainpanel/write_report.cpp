#include "mainpanel/write_report.h"

#include "panelkit/panel_service.h"
#include "params/mode_write.h"

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
