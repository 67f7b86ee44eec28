#include "program/script_transfer.h"

#include "link/link_state.h"
#include "params/params_state.h"
#include "params/wait_popup.h"
#include "program/help_texts.h"
#include "program/step_panel.h"
#include "program/transfer_checks.h"
#include "runtime/ids/step_program_panel.h"
#include "runtime/panel_handles.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace ids = StepProgramPanel;

namespace {

constexpr const char* kTitle = "Step Program";
constexpr const char* kNoAnswer =
    "The controller does not answer. Check the cable, the COM port and the controller id.";

uint16_t word(const Reply& r, int at) {
    return uint16_t(r.bytes[at] << 8 | r.bytes[at + 1]);
}

double scaled(const Reply& r, int at) {
    return double(signedWord(r.bytes[at], r.bytes[at + 1])) / double(gParams.dpDivisor);
}

ScriptStep decodeStep(const Reply& r) {
    ScriptStep s;
    s.time1 = word(r, 3);
    s.stepSv = scaled(r, 5);
    s.time2 = word(r, 7);
    s.action = r.bytes[10]; // the controller keeps the action in the low byte
    s.loopCnt = word(r, 11);
    return s;
}

// One read with a single retry; the reply only counts when it is whole and ours.
std::optional<Reply> readChecked(uint16_t reg, int registers, SilenceWatch& watch) {
    for (int attempt = 0; attempt < 2 && !watch.silent(); ++attempt) {
        Frame frame = makeTemplate(0x01, kFnReadHolding, reg, uint16_t(registers));
        Reply reply = exchange(frame, gLink.controllerId);
        watch.note(reply);
        if (isGoodReadReply(reply, gLink.controllerId, registers)) return reply;
    }
    return std::nullopt;
}

std::string joined(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& s : items)
        out += (out.empty() ? "" : ", ") + s;
    return out;
}

uint16_t registerValue(double engineering) {
    const long v = RoundRealToNearestInteger(engineering * double(gParams.dpMultiplier));
    return uint16_t(uint32_t(v) & 0xFFFF);
}

} // namespace

void UpdateScpFromCtrlToPC() {
    showWaitPopup();
    preparation(0.02);
    SilenceWatch watch;
    std::array<std::optional<ScriptStep>, ids::kSteps> steps;
    for (int i = 0; i < ids::kSteps && !watch.silent(); ++i)
        if (auto r = readChecked(uint16_t(kFirstStepRegister + kRegistersPerStep * i),
                                 kRegistersPerStep, watch))
            steps[std::size_t(i)] = decodeStep(*r);
    std::optional<double> band;
    if (!watch.silent())
        if (auto r = readChecked(kBandRegister, 1, watch)) band = scaled(*r, 3);
    removeWaitPopup();

    // A step that could not be read keeps what the panel showed rather than
    // turning into zeros the operator might save back.
    std::vector<std::string> missing;
    for (int i = 0; i < ids::kSteps; ++i) {
        const auto& s = steps[std::size_t(i)];
        if (s)
            showStep(i, *s);
        else
            missing.push_back(std::to_string(i));
        applyChainRule(i, readStep(i).action);
    }
    if (band) SetCtrlVal(gPanels.stepProgram, ids::bandEntry, *band);

    if (watch.silent()) {
        MessagePopup(kTitle, std::string(kNoAnswer) +
                                 "\nEntries that were not read keep their previous values.");
        return;
    }
    if (!band) missing.push_back("tolerance band");
    if (!missing.empty())
        MessagePopup(kTitle, "These could not be read from the controller: " + joined(missing) +
                                 ".\nTheir entries keep their previous values.");
}

namespace {

void writeProgram() {
    showWaitPopup();
    preparation(0.01);
    const StepProgram program = readProgramFromPanel();
    std::vector<std::pair<uint16_t, uint16_t>> writes; // register order within each step
    for (int i = 0; i < ids::kSteps; ++i) {
        const ScriptStep& s = program.steps[std::size_t(i)];
        const uint16_t base = uint16_t(kFirstStepRegister + kRegistersPerStep * i);
        writes.insert(writes.end(), {{base, s.time1},
                                     {uint16_t(base + 1), registerValue(s.stepSv)},
                                     {uint16_t(base + 2), s.time2},
                                     {uint16_t(base + 3), s.action},
                                     {uint16_t(base + 4), s.loopCnt}});
    }
    writes.emplace_back(kBandRegister, registerValue(program.band));

    SilenceWatch watch;
    std::vector<std::string> refused, unconfirmed;
    for (const auto& [reg, value] : writes) {
        if (watch.silent()) break;
        Frame frame = writeTemplate(reg);
        const Reply echo = exchangeWrite(frame, gLink.controllerId, int16_t(value));
        std::memcpy(gTx.writeEcho, echo.bytes, sizeof gTx.writeEcho);
        watch.note(echo);
        if (echo.isException())
            refused.push_back(registerName(reg));
        else if (!isGoodEcho(echo, frame))
            unconfirmed.push_back(registerName(reg));
    }
    removeWaitPopup();

    if (watch.silent()) {
        MessagePopup(kTitle, std::string(kNoAnswer) +
                                 "\nThe step program in the controller is incomplete.");
        return;
    }
    std::string text;
    if (!refused.empty()) text += "The controller refused: " + joined(refused) + ".\n";
    if (!unconfirmed.empty())
        text += "The controller did not confirm: " + joined(unconfirmed) + ".\n";
    if (!text.empty()) MessagePopup(kTitle, text + "Check the values and save again.");
}

} // namespace

int OpenScriptPanel(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    DisplayPanel(gPanels.stepProgram);
    UpdateScpFromCtrlToPC();
    return 0;
}

int RdCtrlScript(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) UpdateScpFromCtrlToPC();
    if (event == EVENT_RIGHT_CLICK)
        MessagePopup(helptext::loadFromCtrlTitle, helptext::loadFromCtrl);
    return 0;
}

int WtCtrlScript(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) writeProgram();
    if (event == EVENT_RIGHT_CLICK) MessagePopup(helptext::saveToCtrlTitle, helptext::saveToCtrl);
    return 0;
}

int SetBand(int, CtrlId, int event) {
    if (event == EVENT_RIGHT_CLICK) MessagePopup(helptext::bandTitle, helptext::band);
    if (event != EVENT_COMMIT) return 0;
    double band = 0;
    GetCtrlVal(gPanels.stepProgram, ids::bandEntry, &band);
    Frame frame = writeTemplate(kBandRegister);
    const Reply echo = exchangeWrite(frame, gLink.controllerId, int16_t(registerValue(band)));
    std::memcpy(gTx.writeEcho, echo.bytes, sizeof gTx.writeEcho);
    return 0;
}
