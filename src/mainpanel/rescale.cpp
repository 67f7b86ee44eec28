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

std::vector<void (*)()> followers;

void refreshFollowers() {
    for (auto refresh : followers)
        refresh();
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

bool decimalPointConfirmed(Scale next) {
    const Scale now = sessionController().scale();
    if (next == now) return true;
    std::string lines;
    for (uint16_t reg : kTemperatures) {
        const std::optional<int16_t> word = recordWord(reg);
        if (!isHeld(reg) || !word) continue;
        lines += "    " + parmRegisterLabel(reg) + " " +
                 number(sessionController().parmRecord.*(findParmRegister(reg)->real), now) +
                 " will read " + number(next.toValue(*word), next) + "\n";
    }
    const bool oneDigit = next.digits() != 0;
    return ask("Decimal Point Change",
               std::string("The controller converts none of its values: each keeps its number, "
                           "so every temperature will read ten times ") +
                   (oneDigit ? "smaller" : "larger") + ":\n" + lines +
                   "PV, the other temperatures and the step program change alike.\n\nChange "
                   "the decimal point?");
}

bool unitConfirmed(int code) {
    const bool known = isHeld(reg::unitCF);
    if (known && code == sessionController().parmRecord.unitCF) return true;
    const std::string to = unitName(code);
    std::string lines;
    for (uint16_t reg : {reg::setValue, reg::loLimit, reg::hiLimit, reg::a1SetPoint}) {
        if (!known || !isHeld(reg)) continue;
        const std::string value =
            number(sessionController().parmRecord.*(findParmRegister(reg)->real),
                   sessionController().scale());
        lines += "    " + parmRegisterLabel(reg) + " " + value + degreesSuffix() + " will read " +
                 value + " " + to + "\n";
    }
    return ask("Unit Change", "The controller will show PV in " + to +
                                  ". It converts nothing else: the other temperatures keep "
                                  "their numbers, taken as " +
                                  to + ":\n" + lines + "\nChange the unit?");
}

} // namespace

bool rescaleConfirmed(uint16_t reg, int code) {
    if (reg == reg::decimalPoint) return decimalPointConfirmed(Scale::ofDecimalPoint(code));
    if (reg == reg::unitCF) return unitConfirmed(code);
    return true;
}

void followDecimalPoint() {
    std::vector<uint16_t> regs;
    for (const ParmRegister& r : parmRegisters())
        if (r.enc == Encoding::Scaled && isHeld(r.reg)) regs.push_back(r.reg);
    // From here each of them holds a number in the old scale: none is held.
    AdjDecimal();
    Transaction t(session(), settle::bulk);
    Transfer transfer;
    std::vector<uint16_t> unread;
    for (uint16_t reg : regs) {
        const Outcome o = transfer.silent() ? Outcome{} : transfer.read(reg);
        if (o.ok())
            storeWord(reg, o.words[0]);
        else
            unread.push_back(reg);
        showParameter(reg);
    }
    t.release();
    applySetValueLimits();
    refreshFollowers();
    if (!unread.empty())
        MessagePopup("Parameter Read Error",
                     "After the decimal point change these could not be read again:\n" +
                         parmRegisterLines(unread) +
                         "The panel shows no value for them until they are read.");
}

void followRescale(void (*refresh)()) {
    if (std::ranges::find(followers, refresh) == followers.end()) followers.push_back(refresh);
}

void unitChanged() {
    refreshFollowers();
}
