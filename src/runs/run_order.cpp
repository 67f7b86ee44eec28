#include "runs/run_order.h"

#include "base/number_text.h"
#include "runs/plan.h"

#include <algorithm>

std::vector<ProgramStep> runOrder(const FiringProgram& p) {
    const int n = int(p.segments.size());
    std::vector<ProgramStep> order;
    order.reserve(std::size_t(stepCount(p)));
    const auto* r = p.repeat ? &*p.repeat : nullptr;
    for (int i = 0; i < n; ++i) {
        if (!r || i != r->from) {
            order.push_back({i, 0});
            continue;
        }
        for (int c = 1; c <= r->times; ++c)
            for (int s = r->from; s <= r->to && s < n; ++s)
                order.push_back({s, c});
        i = r->to;
    }
    return order;
}

int stepCount(const FiringProgram& p) {
    const int n = int(p.segments.size());
    if (!p.repeat || p.repeat->from < 0 || p.repeat->to >= n || p.repeat->from > p.repeat->to)
        return n;
    return n + (p.repeat->to - p.repeat->from + 1) * (p.repeat->times - 1);
}

int stepAt(const FiringProgram& p, const PlanStart& start, double clock) {
    return Plan(p, start).at(clock).step;
}

ProgramStep stepOf(const FiringProgram& p, int step) {
    const int n = int(p.segments.size());
    if (!p.repeat || step < 0 || p.repeat->to >= n) return {std::clamp(step, 0, n - 1), 0};
    const int from = p.repeat->from, span = p.repeat->to - from + 1;
    if (step < from) return {step, 0};
    const int inSpan = step - from;
    if (inSpan < span * p.repeat->times) return {from + inSpan % span, inSpan / span + 1};
    return {std::min(step - span * (p.repeat->times - 1), n - 1), 0};
}

std::string cycleText(const FiringProgram& p, int step) {
    const ProgramStep s = stepOf(p, step);
    if (!s.cycle) return "";
    return "cycle " + formatWhole(s.cycle) + " of " + formatWhole(p.repeat->times);
}

std::string stepText(const FiringProgram& p, int step) {
    const std::string cycle = cycleText(p, step);
    return segmentText(p, stepOf(p, step).segment) + (cycle.empty() ? "" : ", " + cycle);
}

std::string stepName(const FiringProgram& p, int step) {
    const std::string cycle = cycleText(p, step);
    return "segment " + formatWhole(stepOf(p, step).segment + 1) +
           (cycle.empty() ? "" : " in " + cycle);
}

namespace {

std::string timesText(int n) {
    static const char* const words[] = {"once",       "twice",     "three times", "four times",
                                        "five times", "six times", "seven times", "eight times",
                                        "nine times", "ten times"};
    return n >= 1 && n <= 10 ? words[n - 1] : formatWhole(n) + " times";
}

} // namespace

std::string segmentsRunText(const FiringProgram& p) {
    const long n = long(p.segments.size());
    std::string text = formatWhole(n) + (n == 1 ? " segment" : " segments");
    if (!p.repeat) return text;
    const ProgramRepeat& r = *p.repeat;
    return formatWhole(stepCount(p)) + " segments run (" + formatWhole(r.from + 1) +
           (r.to > r.from ? "-" + formatWhole(r.to + 1) : std::string()) + " " +
           timesText(r.times) + ")";
}
