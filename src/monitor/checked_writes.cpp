#include "monitor/checked_writes.h"

#include "base/number_text.h"
#include "link/line.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "monitor/live_writes.h"
#include "params/bulk_read.h"
#include "params/parameter_write.h"
#include "params/params_state.h"
#include "params/record_words.h"

namespace {

// Compared as the register words: the value as sent, and half a step of the
// register either side of the limits the controller holds.
std::string outsideLimitsProblem(const Controller& c, double sent) {
    const auto [low, high] = setValueLimits(c);
    const Scale scale = c.scale();
    const int digits = scale.digits();
    const double step = scale.toValue(1);
    if (sent >= low - step / 2 && sent <= high + step / 2) return "";
    return "is outside the controller's Lo/Hi limits (" + formatFixed(low, digits) + " to " +
           formatFixed(high, digits) + ")";
}

} // namespace

std::string setValueProblem(Controller& c, double value) {
    const auto [low, high] = temperatureLimits(c);
    if (value >= low && value <= high) return "";
    const int digits = c.scale().digits();
    return std::string("does not fit its register with ") +
           (digits ? "one decimal place" : "no decimal place") + " (" + formatFixed(low, digits) +
           " to " + formatFixed(high, digits) + ")";
}

std::string outputLevelProblem(double percent) {
    // The level is in tenths of a percent whatever the decimal point.
    if (percent >= 0.0 && percent <= 100.0) return "";
    return "the output level is 0.0 to 100.0 %";
}

CheckedWrite setSetValue(Controller& c, double value) {
    CheckedWrite w;
    w.notSent = setValueProblem(c, value);
    if (!w.notSent.empty()) return w;
    if (const Outcome limits = readSetValueLimits(c); !limits.ok()) {
        w.limitsUnread = limits;
        return w;
    }
    // Within what the register holds, as setValueProblem found; rounded to
    // the register's digits before it reaches the record.
    const Scale scale = c.scale();
    const double sent = scale.toValue(*scale.toWord(value));
    w.notSent = outsideLimitsProblem(c, sent);
    if (!w.notSent.empty()) return w;
    Transfer transfer(c);
    const ParmRecord before = c.parmRecord;
    c.parmRecord.sv = float(sent);
    w.outcome = writeParameter(transfer, reg::setValue, before);
    if (w.outcome.ok())
        w.held = writtenWord(c);
    else if (w.outcome.refused())
        w.held = readBack(transfer, reg::setValue);
    else if (const auto word = recordWord(c, reg::setValue); word && c.isHeld(reg::setValue))
        w.held = uint16_t(*word); // read back by the write already
    return w;
}

CheckedWrite setOutputLevel(Controller& c, double percent) {
    CheckedWrite w;
    w.notSent = outputLevelProblem(percent);
    if (!w.notSent.empty()) return w;
    Transfer transfer(c);
    w.outcome = writeOutputLevel(transfer, float(percent));
    w.held = w.outcome.ok() ? std::optional<uint16_t>(writtenWord(c))
                            : readBack(transfer, reg::outputLevel);
    return w;
}
