#include "lines/row_text.h"

#include "base/number_text.h"
#include "params/choice_codes.h"

#include <algorithm>

namespace {

std::string modeText(int code) {
    for (const Choice& c : choices::controlMode)
        if (c.code == code) return std::string(c.label);
    // A code of the controller's own is shown as it is, never as a mode of ours.
    return formatWhole(code);
}

// "0.4 s", "12 s", "3 min": enough to see a controller fall behind.
std::string ageText(Clock::TimePoint when, Clock::TimePoint now) {
    const double s = std::max(0.0, std::chrono::duration<double>(now - when).count());
    if (s < 10) return formatFixed(s, 1) + " s";
    if (s < 120) return formatWhole((long long)s) + " s";
    return formatWhole((long long)(s / 60)) + " min";
}

} // namespace

RowText rowText(const LineRow& row, Clock::TimePoint now) {
    RowText t;
    const PollReading& r = row.reading;
    t.cells[idColumn] = formatWhole(row.id);
    if (r.model) t.cells[modelColumn] = std::string(1, *r.model);
    if (r.pv) t.cells[pvColumn] = formatFixed(*r.pv, r.digits.value_or(0));
    if (r.sv) t.cells[svColumn] = formatFixed(*r.sv, r.digits.value_or(0));
    if (r.mode) t.cells[modeColumn] = modeText(codeOf(*r.mode));
    if (r.out) t.cells[outColumn] = formatFixed(*r.out, 1) + " %";
    t.cells[ageColumn] = row.lastReply ? ageText(*row.lastReply, now) : "never";
    if (!row.polled) {
        t.cells[stateColumn] = "waiting";
        return t;
    }
    t.cells[stateColumn] = r.good() ? "ok" : r.problem();
    t.fault = !r.good();
    return t;
}
