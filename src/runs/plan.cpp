#include "runs/plan.h"

#include "runs/run_order.h"

#include <algorithm>
#include <cmath>

double convertTemperature(double value, TemperatureUnit from, TemperatureUnit to) {
    if (from == to) return value;
    return to == TemperatureUnit::fahrenheit ? value * 9.0 / 5.0 + 32.0
                                             : (value - 32.0) * 5.0 / 9.0;
}

double convertDifference(double degrees, TemperatureUnit from, TemperatureUnit to) {
    if (from == to) return degrees;
    return to == TemperatureUnit::fahrenheit ? degrees * 9.0 / 5.0 : degrees * 5.0 / 9.0;
}

double nearBand(const FiringProgram& program, TemperatureUnit zoneUnit, int digits) {
    if (program.holdback > 0) return convertDifference(program.holdback, program.unit, zoneUnit);
    return kNearDigits * (digits > 0 ? 0.1 : 1.0);
}

Plan::Plan(const FiringProgram& program, PlanStart start) : start_(start) {
    const std::vector<ProgramStep> order = runOrder(program);
    const int n = int(order.size());
    double t = 0;
    for (int i = std::max(start.step, 0); i < n; ++i) {
        const ProgramStep step = order[std::size_t(i)];
        const ProgramSegment& s = program.segments[std::size_t(step.segment)];
        // What the step before it ends at.
        const double before =
            i > 0 ? program.segments[std::size_t(order[std::size_t(i - 1)].segment)].target : 0;
        Piece p{};
        p.segment = step.segment;
        p.step = i;
        p.cycle = step.cycle;
        p.from = i == start.step ? start.fromSv : before;
        p.to = s.target;
        p.rate = s.rate;
        p.begins = t;
        p.rampSeconds = s.rate ? std::fabs(p.to - p.from) / std::fabs(*s.rate) * 3600.0 : 0.0;
        p.holdSeconds = std::max(0.0, s.holdSeconds - (i == start.step ? start.holdDone : 0.0));
        // A full segment resumed in its hold starts at its target: which way
        // it went is then the way from the target before it.
        const double way = p.from != p.to || i == 0 ? p.to - p.from : p.to - before;
        p.up = s.rate ? *s.rate > 0 : way >= 0;
        pieces_.push_back(p);
        t = p.ends();
    }
}

const Plan::Piece* Plan::piece(int step) const {
    const int i = step - std::max(start_.step, 0);
    return i >= 0 && i < int(pieces_.size()) ? &pieces_[std::size_t(i)] : nullptr;
}

double Plan::totalSeconds() const {
    return pieces_.empty() ? 0.0 : pieces_.back().ends();
}

PlanPoint Plan::at(double seconds) const {
    PlanPoint pt;
    if (pieces_.empty()) {
        pt.ended = true;
        pt.sv = start_.fromSv;
        return pt;
    }
    seconds = std::max(seconds, 0.0);
    for (const Piece& p : pieces_) {
        if (seconds >= p.ends()) continue;
        const double e = seconds - p.begins;
        pt.segment = p.segment;
        pt.step = p.step;
        pt.cycle = p.cycle;
        pt.up = p.up;
        pt.segmentSeconds = e;
        pt.segmentBegins = p.begins;
        pt.ramping = e < p.rampSeconds;
        pt.sv = pt.ramping ? p.from + (p.to - p.from) * (e / p.rampSeconds) : p.to;
        return pt;
    }
    const Piece& last = pieces_.back();
    pt.segment = last.segment;
    pt.step = last.step;
    pt.cycle = last.cycle;
    pt.up = last.up;
    pt.ended = true;
    pt.sv = last.to;
    pt.segmentSeconds = last.rampSeconds + last.holdSeconds;
    pt.segmentBegins = last.begins;
    return pt;
}

double roomTemperature(TemperatureUnit unit) {
    return unit == TemperatureUnit::celsius ? 20.0 : 68.0;
}

PlanStart programStart(const FiringProgram& program, double pv) {
    if (program.start) return PlanStart{0, *program.start, 0};
    return startFromPv(program, pv, 0);
}

PlanStart startFromPv(const FiringProgram& program, double pv, int from) {
    const std::vector<ProgramStep> order = runOrder(program);
    const int n = int(order.size());
    const auto target = [&](int i) {
        return program.segments[std::size_t(order[std::size_t(i)].segment)].target;
    };
    from = std::clamp(from, 0, std::max(n - 1, 0));
    for (int i = from; i < n; ++i) {
        const ProgramSegment& s = program.segments[std::size_t(order[std::size_t(i)].segment)];
        const double before = i == from ? pv : target(i - 1);
        const bool up = s.rate ? *s.rate > 0 : s.target >= before;
        const bool reached = up ? pv >= s.target : pv <= s.target;
        if (!reached) return PlanStart{i, pv, 0};
    }
    if (n == 0) return PlanStart{0, pv, 0};
    return PlanStart{n - 1, target(n - 1), 0};
}

PlanStart resumePoint(const FiringProgram& program, const PlanStart& was, double clock, double pv) {
    const Plan plan(program, was);
    const PlanPoint pt = plan.at(clock);
    const int n = stepCount(program);
    if (pt.ended || n == 0) {
        // Nothing is left to do: the plan is at its end at once.
        if (program.segments.empty()) return PlanStart{0, pv, 0.0};
        const ProgramSegment& last = program.segments.back();
        return PlanStart{n - 1, last.target, last.holdSeconds};
    }
    if (!pt.ramping) {
        const ProgramSegment& s = program.segments[std::size_t(pt.segment)];
        const double lag = pt.up ? s.target - pv : pv - s.target;
        if (program.holdback <= 0 || lag <= program.holdback) {
            const Plan::Piece* piece = plan.piece(pt.step);
            const double heldBefore = pt.step == was.step ? was.holdDone : 0.0;
            return PlanStart{pt.step, s.target,
                             heldBefore + pt.segmentSeconds - (piece ? piece->rampSeconds : 0)};
        }
    }
    return startFromPv(program, pv, pt.step);
}
