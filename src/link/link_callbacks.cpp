#include "link/link_callbacks.h"

#include "link/connection.h"
#include "link/program_exit.h"
#include "link/status_report.h"
#include "runtime/callback_registry.h"

namespace {

int displayStatusReport(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) DisplayRS232Error();
    return 0;
}

} // namespace

void registerLinkCallbacks() {
    registerCallback("SetComport", SetComport);
    registerCallback("ChangeAddrID", ChangeAddrID);
    registerCallback("Quit", Quit);
    registerCallback("ExitParm", ExitParm);
    registerCallback("Info", Info);
    registerCallback("DisplayRS232Error", displayStatusReport);
}
