#include "mainpanel/backup_view.h"

#include "link/registers.h"
#include "mainpanel/bulk_read_view.h"
#include "mainpanel/decimal_point.h"
#include "mainpanel/line_lost_notice.h"
#include "mainpanel/parameter_display.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/panel_service.h"
#include "panelkit/status_message.h"
#include "params/parameter_backup.h"
#include "params/register_map.h"

#include <string>
#include <vector>

namespace {

constexpr const char* kNotSaved = "The parameter file was not saved: it would hold values the "
                                  "controller has not given.";

void report(Controller& c, const BackupRead& read) {
    const BulkReadResult& p = read.parameters;
    const bool pidFailed = read.pidBlock && !read.pidBlock->ok();
    if (p.cancelled) {
        showStatus("parameter file not saved: read cancelled");
        MessagePopup("Save Cancelled",
                     std::string("The parameter read was cancelled.\n") + kNotSaved);
        return;
    }
    if (p.silent || (pidFailed && read.pidBlock->silent())) {
        showStatus("parameter file not saved: the controller does not answer");
        if (reportIfLineLost(c, kNotSaved)) return;
        MessagePopup("Controller Not Answering",
                     std::string("The controller does not answer.\n") + kNotSaved +
                         "\nCheck the cable, the COM port and the controller ID, then save "
                         "again.");
        return;
    }
    std::vector<uint16_t> unread = p.failed;
    if (pidFailed || unread.empty()) unread = unreadFileRegisters(c);
    showStatus("parameter file not saved: " + std::to_string(unread.size()) + " values not read");
    MessagePopup("Parameter File Not Saved",
                 "These values could not be read from the controller:\n" +
                     parmRegisterLines(unread) + kNotSaved);
}

} // namespace

bool readForBackup(Controller& c) {
    if (unreadFileRegisters(c).empty()) return true;
    showWaitPopup(c, "reading the parameters to save");
    const BackupRead read =
        readBackup(c, [&c](uint16_t reg, uint16_t word) { showReadParameter(c, reg, word); });
    removeWaitPopup(c);
    if (read.parameters.asked > 0) AdjDecimal(c);
    // The main panel shows the cycle time of the block as well.
    if (read.pidBlock && read.pidBlock->ok()) showParameter(c, reg::cycleTime);
    if (!read.complete) report(c, read);
    return read.complete;
}
