#include "mainpanel/rescale.h"

#include "base/number_text.h"
#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "mainpanel/decimal_point.h"
#include "mainpanel/parameter_display.h"
#include "panelkit/panel_service.h"
#include "params/params_state.h"
#include "params/record_words.h"
#include "params/register_map.h"
#include "params/unit_labels.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

void refreshFollowers(Rescale& rescale) {
    for (auto refresh : rescale.followers)
        refresh(rescale.controller);
}

// The temperatures the main panel shows, as the question names them.
constexpr uint16_t kTemperatures[] = {reg::setValue,   reg::loLimit,      reg::hiLimit,
                                      reg::a1SetPoint, reg::a1Hysteresis, reg::rampRate,
                                      reg::pvOffset};

std::string number(double value, Scale scale) {
    return formatFixed(value, scale.digits());
}

bool ask(const char* title, const std::string& text) {
    return GenericMessagePopup(title, text, "Yes", "No", "", 2, 2, 2) == 1;
}

bool decimalPointConfirmed(Controller& c, Scale next) {
    const Scale now = c.scale();
    if (next == now) return true;
    std::string lines;
    for (uint16_t reg : kTemperatures) {
        const std::optional<int16_t> word = recordWord(c, reg);
        if (!c.isHeld(reg) || !word) continue;
        lines += "    " + parmRegisterLabel(reg) + " " +
                 number(c.parmRecord.*(findParmRegister(reg)->real), now) + " will read " +
                 number(next.toValue(*word), next) + "\n";
    }
    const bool oneDigit = next.digits() != 0;
    return ask("Decimal Point Change",
               std::string("The controller converts none of its values: each keeps its number, "
                           "so every temperature will read ten times ") +
                   (oneDigit ? "smaller" : "larger") + ":\n" + lines +
                   "PV, the other temperatures and the step program change alike.\n\nChange "
                   "the decimal point?");
}

bool unitConfirmed(Controller& c, int code) {
    const bool known = c.isHeld(reg::unitCF);
    if (known && code == c.parmRecord.unitCF) return true;
    const std::string to = unitName(code);
    std::string lines;
    for (uint16_t reg : {reg::setValue, reg::loLimit, reg::hiLimit, reg::a1SetPoint}) {
        if (!known || !c.isHeld(reg)) continue;
        const std::string value = number(c.parmRecord.*(findParmRegister(reg)->real), c.scale());
        lines += "    " + parmRegisterLabel(reg) + " " + value + degreesSuffix(c) + " will read " +
                 value + " " + to + "\n";
    }
    return ask("Unit Change", "The controller will show PV in " + to +
                                  ". It converts nothing else: the other temperatures keep "
                                  "their numbers, taken as " +
                                  to + ":\n" + lines + "\nChange the unit?");
}

} // namespace

bool rescaleConfirmed(Controller& c, uint16_t reg, int code) {
    if (reg == reg::decimalPoint) return decimalPointConfirmed(c, Scale::ofDecimalPoint(code));
    if (reg == reg::unitCF) return unitConfirmed(c, code);
    return true;
}

void followDecimalPoint(Rescale& rescale) {
    Controller& c = rescale.controller;
    std::vector<uint16_t> regs;
    for (const ParmRegister& r : parmRegisters())
        if (r.enc == Encoding::Scaled && c.isHeld(r.reg)) regs.push_back(r.reg);
    // From here each of them holds a number in the old scale: none is held.
    AdjDecimal(c);
    Transaction t(c.line(), settle::bulk);
    Transfer transfer(c);
    std::vector<uint16_t> unread;
    for (uint16_t reg : regs) {
        const Outcome o = transfer.silent() ? Outcome{} : transfer.read(reg);
        if (o.ok())
            storeWord(c, reg, o.words[0]);
        else
            unread.push_back(reg);
        showParameter(c, reg);
    }
    t.release();
    applySetValueLimits(c);
    refreshFollowers(rescale);
    if (!unread.empty())
        MessagePopup("Parameter Read Error",
                     "After the decimal point change these could not be read again:\n" +
                         parmRegisterLines(unread) +
                         "The panel shows no value for them until they are read.");
}

void Rescale::follow(void (*refresh)(Controller&)) {
    if (std::ranges::find(followers, refresh) == followers.end()) followers.push_back(refresh);
}

void unitChanged(Rescale& rescale) {
    refreshFollowers(rescale);
}
