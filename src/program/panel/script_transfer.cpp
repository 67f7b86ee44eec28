#include "program/panel/script_transfer.h"

#include "base/clock.h"
#include "link/controller.h"
#include "mainpanel/line_lost_notice.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/status_message.h"
#include "program/help_texts.h"
#include "program/panel/ids/step_program_panel.h"
#include "program/panel/program_run.h"
#include "program/panel/run_view.h"
#include "program/panel/step_panel.h"
#include "program/program_transfer.h"

#include <string>
#include <vector>

namespace ids = StepProgramPanel;

namespace {

constexpr const char* kTitle = "Step Program";
constexpr const char* kNoAnswer =
    "The controller does not answer. Check the cable, the COM port and the controller id.";

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& s : items)
        out += (out.empty() ? "" : ", ") + s;
    return out;
}

void writeProgram(StepProgramView& view) {
    Controller& c = view.controller;
    const StepProgram program = readProgramFromPanel();
    showWaitPopup(c, "writing the step program");
    const StepProgramWrite result = writeStepProgram(c, program);
    removeWaitPopup(c);
    // Only a table the controller confirmed whole is known to be its own.
    const bool whole =
        !result.cancelled && !result.silent && result.refused.empty() && result.unconfirmed.empty();
    if (whole)
        view.inController =
            StepProgramView::KnownTable{program, c.scale().digits(), wallSeconds(), true};
    else
        view.inController.reset();

    if (result.cancelled) {
        const std::string done =
            std::to_string(result.sent) + " of " + std::to_string(result.total) + " registers";
        showStatus("step program write cancelled: " + done + " written");
        MessagePopup(kTitle, "The step program write was cancelled after " + done +
                                 ".\nThe controller holds the new program up to there and its "
                                 "old one after; write again to send it whole.");
        return;
    }

    if (result.silent) {
        const std::string sent = result.ledger.listText(stepRegisterName);
        if (reportIfLineLost(c, "The step program in the controller is incomplete: save it to the "
                                "controller again once reconnected.\n" +
                                    sent))
            return;
        MessagePopup(kTitle, std::string(kNoAnswer) +
                                 "\nThe step program in the controller is incomplete.\n\n" + sent);
        return;
    }
    std::string text;
    if (!result.refused.empty())
        text += "The controller refused: " + joined(stepRegisterNames(result.refused)) + ".\n";
    if (!result.unconfirmed.empty())
        text += "The controller did not confirm: " + joined(stepRegisterNames(result.unconfirmed)) + ".\n";
    if (!text.empty()) {
        showStatus("step program written, with errors");
        MessagePopup(kTitle, text + "Check the values and save again.");
        return;
    }
    showStatus(result.silent ? "step program write stopped" : "step program written");
}

} // namespace

void UpdateScpFromCtrlToPC(StepProgramView& view) {
    Controller& c = view.controller;
    showWaitPopup(c, "reading the step program");
    const StepProgramRead read = readStepProgram(c);
    removeWaitPopup(c);

    std::vector<std::string> missing;
    for (int i = 0; i < ids::kSteps; ++i) {
        const auto& s = read.steps[std::size_t(i)];
        if (s)
            showStep(i, *s);
        else
            missing.push_back(std::to_string(i));
        applyChainRule(i, readStep(i).action);
    }
    if (read.band) SetCtrlVal(StepProgramPanel::handle, ids::bandEntry, *read.band);
    showProfile(view);
    std::vector<std::string> gaps;
    const auto whole = read.cancelled || read.silent ? std::nullopt : wholeProgram(read, &gaps);
    if (whole)
        view.inController =
            StepProgramView::KnownTable{*whole, c.scale().digits(), wallSeconds(), false};
    else
        view.inController.reset();

    if (read.cancelled) {
        showStatus("step program read cancelled");
        MessagePopup(kTitle, "The step program read was cancelled.\nThe steps read so far are "
                             "shown; the others keep their previous values.");
        return;
    }

    if (read.silent) {
        if (reportIfLineLost(c, "The step program was not read in full; entries that were not read "
                                "keep their previous values."))
            return;
        MessagePopup(kTitle, std::string(kNoAnswer) +
                                 "\nEntries that were not read keep their previous values.");
        return;
    }
    if (!read.band) missing.push_back("tolerance band");
    showStatus(missing.empty() ? "step program read" : "step program read, with gaps");
    if (!missing.empty())
        MessagePopup(kTitle, "These could not be read from the controller: " + joined(missing) +
                                 ".\nTheir entries keep their previous values.");
}

int OpenScriptPanel(StepProgramView& view, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    DisplayPanel(StepProgramPanel::handle);
    UpdateScpFromCtrlToPC(view);
    // A program may be running already, started at the controller's keys or
    // while the panel was closed.
    followRunningProgram(view);
    return 0;
}

int RdCtrlScript(StepProgramView& view, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) UpdateScpFromCtrlToPC(view);
    if (event == EVENT_RIGHT_CLICK)
        MessagePopup(helptext::loadFromCtrlTitle, helptext::loadFromCtrl);
    return 0;
}

int WtCtrlScript(StepProgramView& view, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) writeProgram(view);
    if (event == EVENT_RIGHT_CLICK) MessagePopup(helptext::saveToCtrlTitle, helptext::saveToCtrl);
    return 0;
}

int SetBand(StepProgramView& view, int, CtrlId, int event) {
    if (event == EVENT_RIGHT_CLICK) MessagePopup(helptext::bandTitle, helptext::band);
    if (event != EVENT_COMMIT) return 0;
    double band = 0;
    GetCtrlVal(StepProgramPanel::handle, ids::bandEntry, &band);
    const bool confirmed = writeBand(view.controller, band);
    if (!view.inController) return 0;
    if (confirmed)
        view.inController->program.band =
            view.controller.scale().toValue(*view.controller.scale().toWord(band));
    else
        view.inController.reset();
    return 0;
}
