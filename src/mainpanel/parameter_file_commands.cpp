#include "mainpanel/parameter_file_commands.h"

#include "base/atomic_file.h"
#include "mainpanel/backup_view.h"
#include "mainpanel/bulk_read_view.h"
#include "mainpanel/decimal_point.h"
#include "mainpanel/line_lost_notice.h"
#include "mainpanel/restore_confirm.h"
#include "panelkit/status_message.h"
#include "params/bulk_write.h"
#include "params/parameter_backup.h"
#include "params/parameter_file.h"
#include "params/params_state.h"
#include "params/record_words.h"
#include "params/register_map.h"

#include <string>
#include <vector>

namespace {

constexpr const char* kSpec = "*.prm";
constexpr const char* kFilters = "*.txt;*.prm;*.dat";
constexpr const char* kLoadTitle = "Load Parameter File";

std::string names(const std::vector<uint16_t>& regs) {
    std::string out;
    for (uint16_t reg : regs)
        out += "    " + parmRegisterName(reg) + "\n";
    return out;
}

void reportWriteResult(Controller& c, const BulkWriteResult& result) {
    const std::string sent = result.ledger.listText(parmRegisterName);
    if ((result.silent || !result.decimalPoint.ok()) &&
        reportIfLineLost(c, "The parameter file was not sent in full; once reconnected, the panel "
                            "shows what the controller holds.\n" +
                                sent))
        return;
    if (!result.decimalPoint.ok()) {
        const std::string how = result.decimalPoint.refused()
                                    ? "the controller refused it (exception code " +
                                          std::to_string(result.decimalPoint.exceptionCode) + ")"
                                    : "the controller did not confirm it";
        MessagePopup("Decimal Point Not Accepted",
                     "The decimal point of the parameter file was not accepted: " + how +
                         ".\nNothing else was written, since every temperature in the file "
                         "depends on it.\nRead the parameters to see what the controller holds.");
        return;
    }
    if (result.silent) {
        MessagePopup("Controller Not Answering",
                     "The controller does not answer.\nThe parameter file was not sent in full; "
                     "read the parameters once the controller answers again to see what it "
                     "holds.\n\n" +
                         sent);
        return;
    }
    std::string text;
    if (!result.refused.empty())
        text += "The controller refused these parameters:\n" + names(result.refused);
    if (!result.unconfirmed.empty())
        text += "The controller did not confirm these parameters:\n" + names(result.unconfirmed);
    if (!text.empty())
        MessagePopup("Parameter Error", text + "The panel shows what the controller now holds.");
}

std::string restoreSummary(const BulkWriteResult& result) {
    if (!result.decimalPoint.ok()) return "parameter file not sent: ";
    if (result.silent) return "parameter file sent in part: ";
    if (!result.refused.empty() || !result.unconfirmed.empty())
        return "parameter file sent, with errors: ";
    return "parameter file loaded into the controller: ";
}

} // namespace

int WriteAllParm(Controller& c, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) WriteParmsToFile(c);
    return 0;
}

void WriteParmsToFile(Controller& c) {
    std::string path;
    if (FileSelectPopup("", kSpec, kFilters, kLoadTitle, VAL_OK_BUTTON, 0, 0, 1, 1, &path) == 0) return;
    // The file holds what the controller holds: what this connection has
    // not read yet (the PID block, until the PID panel opens) is read first.
    if (!readForBackup(c)) return;
    const auto text = backupFileText(c);
    if (!std::holds_alternative<std::string>(text)) return; // readForBackup said why
    std::string why;
    if (!writeFileAtomically(path, std::get<std::string>(text), &why)) {
        showStatus("parameter file not saved");
        MessagePopup("Save Failed", "The parameter file could not be written:\n" + why);
        return;
    }
    showStatus("parameter file saved: " + path);
}

int RdParmFromFile(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    std::string path;
    if (FileSelectPopup("", kSpec, kFilters, kLoadTitle, VAL_LOAD_BUTTON, 0, 0, 1, 0, &path) !=
        VAL_EXISTING_FILE_SELECTED)
        return 0;
    std::vector<std::string> doubts;
    auto parsed = readParameterFile(path, c.parmRecord, &doubts);
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        // Half a configuration must never reach a running controller.
        MessagePopup("Parameter File Error",
                     path + "\n" + *problem + ".\nNothing was sent to the controller.");
        return 0;
    }
    if (!restoreConfirmed(c, path, std::get<ParmRecord>(parsed), doubts)) return 0;
    const ParmRecord shown = c.parmRecord;
    const auto shownHeld = c.held();
    takeIntoRecord(c, std::get<ParmRecord>(parsed));
    // A value is the controller's once it confirms it; the read-back below
    // does not cover the PID block, so a backup reads that first unless
    // every register of it was confirmed.
    const BulkWriteResult result = WriteParmsToMeter(c, [&c](uint16_t reg, const Outcome& o) {
        if (o.ok()) storeWord(c, reg, uint16_t(*recordWord(c, reg)));
    });
    if (!result.decimalPoint.ok()) {
        // Nothing of the file reached the controller but perhaps its decimal
        // point, so the record goes back to what the panel shows.
        c.parmRecord = shown;
        c.setHeld(shownHeld);
    } else {
        // The controller took the file's decimal point: the panels follow it.
        AdjDecimal(c);
        if (!result.silent) ReadParmsFromMeter(c);
    }
    showStatus(restoreSummary(result) + path);
    reportWriteResult(c, result);
    return 0;
}
