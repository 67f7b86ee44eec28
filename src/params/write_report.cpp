#include "params/write_report.h"

#include "runtime/panel_service.h"

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
