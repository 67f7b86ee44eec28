#include "program/panel/script_file.h"

#include "base/atomic_file.h"
#include "panelkit/status_message.h"
#include "program/help_texts.h"
#include "program/panel/ids/step_program_panel.h"
#include "program/panel/run_view.h"
#include "program/panel/step_panel.h"
#include "program/srp_format.h"

#include <vector>

namespace {

// A file keeps set values as the panel showed them. One saved with the
// decimal point off may hold whole degrees beyond what the entries take in
// tenths, and an entry would cut such a value to its limit.
std::string unfitValue(int panel, CtrlId entry, double value, const std::string& name) {
    double low = 0, high = 0;
    GetCtrlAttribute(panel, entry, ATTR_MIN_VALUE, &low);
    GetCtrlAttribute(panel, entry, ATTR_MAX_VALUE, &high);
    return valueOutside(value, low, high, name);
}

std::string unfitValue(const StepProgram& program) {
    namespace ids = StepProgramPanel;
    const int p = StepProgramPanel::handle;
    for (int i = 0; i < ids::kSteps; ++i) {
        const std::string why = unfitValue(p, ids::stepSv[i], program.steps[std::size_t(i)].stepSv,
                                           stepSetValueName(i));
        if (!why.empty()) return why;
    }
    return unfitValue(p, ids::bandEntry, program.band, kBandName);
}

// Actions no table knows load only when the operator says so: the panel
// would send them as they are.
bool unknownActionsTaken(const std::string& path, const std::vector<std::string>& doubts) {
    if (doubts.empty()) return true;
    std::string lines;
    for (const std::string& d : doubts)
        lines += "    " + d + "\n";
    return GenericMessagePopup("Open Frm PC",
                               "\"" + path + "\" holds step actions the program does not know:\n" +
                                   lines + "\nLoad it into the panel anyway?",
                               "Load", "Cancel", "", 2, 2, 2) == 1;
}

void loadFile(StepProgramView& view) {
    std::string path;
    if (FileSelectPopup("", "*.srp", "*.txt", helptext::fileDialogTitle, VAL_LOAD_BUTTON, 0, 0, 1,
                        0, &path) == VAL_NO_FILE_SELECTED)
        return;
    std::string content;
    if (const std::string notFile = notARegularFile(path); !notFile.empty()) {
        MessagePopup("Open Frm PC",
                     "\"" + path + "\" cannot be read: " + notFile + ".\nThe panel is unchanged.");
        return;
    }
    if (!readSmallFile(path, &content, kMaxSrpBytes)) {
        MessagePopup("Open Frm PC", "\"" + path +
                                        "\" cannot be read, or is far larger than a step program "
                                        "file.\nThe panel is unchanged.");
        return;
    }
    std::string why;
    std::vector<std::string> doubts;
    const auto program = parseSrp(content, &why, &doubts);
    if (!program) {
        // A half-read file would mix its numbers with what the panel showed.
        MessagePopup("Open Frm PC", "\"" + path + "\" is not a step program file: " + why +
                                        ".\nThe panel is unchanged.");
        return;
    }
    if (const std::string unfit = unfitValue(*program); !unfit.empty()) {
        MessagePopup("Open Frm PC",
                     "\"" + path + "\" cannot be shown: " + unfit + ".\nThe panel is unchanged.");
        return;
    }
    if (!unknownActionsTaken(path, doubts)) return;
    for (int i = 0; i < StepProgramPanel::kSteps; ++i) {
        const ScriptStep& s = program->steps[std::size_t(i)];
        showStep(i, s);
        applyChainRule(i, s.action);
    }
    SetCtrlVal(StepProgramPanel::handle, StepProgramPanel::bandEntry, program->band);
    showProfile(view);
    showStatus("step program file opened: " + path);
}

void saveFile() {
    std::string path;
    if (FileSelectPopup("", "*.srp", "*.txt", helptext::fileDialogTitle, VAL_OK_BUTTON, 0, 0, 1, 1,
                        &path) == VAL_NO_FILE_SELECTED)
        return;
    std::string why;
    if (!writeFileAtomically(path, formatSrp(readProgramFromPanel()), &why)) {
        MessagePopup("Save to PC", "The step program was not saved.\n" + why);
        return;
    }
    showStatus("step program file saved: " + path);
}

} // namespace

int ScriptFileRd(StepProgramView& view, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) loadFile(view);
    if (event == EVENT_RIGHT_CLICK) MessagePopup(helptext::openFromPcTitle, helptext::openFromPc);
    return 0;
}

int ScriptFileWrt(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) saveFile();
    if (event == EVENT_RIGHT_CLICK) MessagePopup(helptext::saveToPcTitle, helptext::saveToPc);
    return 0;
}
