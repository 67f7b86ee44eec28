#include "runs/write_estimate.h"

#include "base/number_text.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kLongestMinWrite = 3600;
}

long plannedWrites(const Plan& plan, double digit, bool ramps, double minWrite) {
    long writes = 1; // the plan's first set value
    for (const Plan::Piece& p : plan.pieces()) {
        const double change = std::abs(p.to - p.from);
        if (!p.rate || p.rampSeconds <= 0 || change <= 0) {
            writes += change > 0; // full: the target at once
            continue;
        }
        if (ramps) {
            writes += 2;
            continue;
        }
        const double byDigit = std::floor(change / std::max(digit, 1e-6));
        const double byTime = std::floor(p.rampSeconds / std::max(minWrite, 1.0));
        writes += long(std::min(byDigit, byTime)) + 1; // and the target as it ends
    }
    return writes;
}

double chosenMinWrite(const Plan& plan, double digit) {
    double m = kDefaultMinWrite;
    // Writes fall as min_write grows: the first that fits, in whole seconds.
    while (m < kLongestMinWrite && plannedWrites(plan, digit, false, m) > kWritesPerFiring) {
        const long over = plannedWrites(plan, digit, false, m);
        m = std::min(kLongestMinWrite,
                     std::max(m + 1, std::ceil(m * double(over) / double(kWritesPerFiring))));
    }
    return m;
}

FiringWrites firingWrites(const FiringProgram& program, double pv, double digit, bool ramps) {
    FiringWrites w;
    w.chosen = !program.minWrite;
    const Plan typical(program, programStart(program, roomTemperature(program.unit)));
    w.minWrite = program.minWrite.value_or(chosenMinWrite(typical, digit));
    w.writes = plannedWrites(Plan(program, programStart(program, pv)), digit, ramps, w.minWrite);
    return w;
}

double digitIn(const ZoneFacts& facts, TemperatureUnit unit) {
    const double digit = facts.digits > 0 ? 0.1 : 1.0;
    return convertDifference(digit, facts.unit, unit);
}

std::string writesText(const FiringWrites& w) {
    return "about " + formatWhole(w.writes) + " set value writes to each controller, a step at " +
           "most every " + numberText(w.minWrite) + " s (min_write" +
           (w.chosen ? ", chosen for the program)" : ")");
}
