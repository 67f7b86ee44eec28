#include "runs/plan.h"

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
    const int n = int(program.segments.size());
    double t = 0;
    for (int i = std::max(start.segment, 0); i < n; ++i) {
        const ProgramSegment& s = program.segments[std::size_t(i)];
        Piece p{};
        p.segment = i;
        p.from = i == start.segment ? start.fromSv : program.segments[std::size_t(i - 1)].target;
        p.to = s.target;
        p.rate = s.rate;
        p.begins = t;
        p.rampSeconds = s.rate ? std::fabs(p.to - p.from) / std::fabs(*s.rate) * 3600.0 : 0.0;
        p.holdSeconds = std::max(0.0, s.holdSeconds - (i == start.segment ? start.holdDone : 0.0));
        // A full segment resumed in its hold starts at its target: which way
        // it went is then the way from the target before it.
        const double way = p.from != p.to || i == 0
                               ? p.to - p.from
                               : p.to - program.segments[std::size_t(i - 1)].target;
        p.up = s.rate ? *s.rate > 0 : way >= 0;
        pieces_.push_back(p);
        t = p.ends();
    }
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
        pt.up = p.up;
        pt.segmentSeconds = e;
        pt.segmentBegins = p.begins;
        pt.ramping = e < p.rampSeconds;
        pt.sv = pt.ramping ? p.from + (p.to - p.from) * (e / p.rampSeconds) : p.to;
        return pt;
    }
    const Piece& last = pieces_.back();
    pt.segment = last.segment;
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
    const int n = int(program.segments.size());
    from = std::clamp(from, 0, std::max(n - 1, 0));
    for (int i = from; i < n; ++i) {
        const ProgramSegment& s = program.segments[std::size_t(i)];
        const double before = i == from ? pv : program.segments[std::size_t(i - 1)].target;
        const bool up = s.rate ? *s.rate > 0 : s.target >= before;
        const bool reached = up ? pv >= s.target : pv <= s.target;
        if (!reached) return PlanStart{i, pv, 0};
    }
    if (n == 0) return PlanStart{0, pv, 0};
    return PlanStart{n - 1, program.segments.back().target, 0};
}

PlanStart resumePoint(const FiringProgram& program, const PlanStart& was, double clock, double pv) {
    const Plan plan(program, was);
    const PlanPoint pt = plan.at(clock);
    const int n = int(program.segments.size());
    if (pt.ended || n == 0) {
        // Nothing is left to do: the plan is at its end at once.
        const double target = n ? program.segments.back().target : pv;
        return PlanStart{std::max(n - 1, 0), target, n ? program.segments.back().holdSeconds : 0.0};
    }
    if (!pt.ramping) {
        const ProgramSegment& s = program.segments[std::size_t(pt.segment)];
        const double lag = pt.up ? s.target - pv : pv - s.target;
        if (program.holdback <= 0 || lag <= program.holdback) {
            const Plan::Piece* piece = nullptr;
            for (const Plan::Piece& p : plan.pieces())
                if (p.segment == pt.segment) piece = &p;
            const double heldBefore = pt.segment == was.segment ? was.holdDone : 0.0;
            return PlanStart{pt.segment, s.target,
                             heldBefore + pt.segmentSeconds - (piece ? piece->rampSeconds : 0)};
        }
    }
    return startFromPv(program, pv, pt.segment);
}
