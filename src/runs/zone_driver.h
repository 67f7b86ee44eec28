#pragma once
// One zone as a run drives it. The engine says what the controller should
// hold (its set value, ramp rate and mode) as the plan moves; sync() writes
// what differs from what the controller is known to hold, so nothing is
// written twice and a write that was not confirmed is tried again at the
// next poll. What the controller holds is compared with what the run wrote,
// so a change made by hand is noticed.
#include "runs/plan.h"
#include "runs/zone.h"

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How far a controller's ramp rate register may stand from the plan's rate
// (its last digit rounds it) for a segment to be left to its ramp: a ramp
// off by more would lead or lag the plan by more than this share of its
// rise. Other segments are stepped.
inline constexpr double kRampRateTolerance = 0.05;

class ZoneDriver {
  public:
    explicit ZoneDriver(std::unique_ptr<Zone> zone) : zone_(std::move(zone)) {}
    Zone& zone() { return *zone_; }

    ZoneFacts facts;
    ZoneReading reading; // the last poll's
    bool silent = false;
    // What the controller is known to hold of what the run writes.
    std::optional<double> heldSv, heldRate;

    // The run takes the controller over as it stands now: Off or On, its set
    // value where it is.
    void takeOver();
    // The run wants it On: once its set value is where the run wants it, so
    // it never regulates to what it held before.
    void switchOn() { wantMode_ = ZoneMode::on; }
    // A controller that ramps by itself is put at the plan's start (in its
    // unit) with its ramp off, unless its set value stands there already: it
    // ramps from wherever that is.
    void prime(double startSv);
    // A segment begins (or the run goes on within one): a ramp left to the
    // controller, or the planned SV now to step from.
    void enter(const FiringProgram& program, const Plan::Piece& piece, const PlanPoint& now,
               double offset, double runSeconds);
    // The SV now, whatever min_write says: a segment's end.
    void setSv(double sv, double runSeconds);
    // Hold-back: a controller that ramps by itself is held at the plan's SV,
    // and let go to its target again.
    void holdBack(bool hold, double plannedSv);
    // A step of one display digit or more, once min_write has passed.
    void step(double plannedSv, double runSeconds, double minWrite);
    // The run ends: the ramp rate as it was before, then what `end` says
    // (sv: the set value to leave, or nothing to leave it as it is).
    void finish(std::optional<double> rampBefore, bool off, std::optional<double> sv);

    // What was changed by hand since the run last wrote ("SV set to 650 by
    // hand; the run had written 600"); empty when nothing was.
    std::string handChange();

    struct Done {
        bool sent = false;
        std::string problem; // what went wrong, for the record
        bool fatal = false;  // refused: the plan cannot be followed
    };
    // Writes what differs: the ramp rate, then the SV, then the mode.
    std::vector<Done> sync(bool last);

    // The ramp rate register's value for a rate per hour in the program's
    // unit, when it holds it within kRampRateTolerance; else nothing.
    std::optional<double> rampRateFor(const FiringProgram& program, double perHour) const;

  private:
    bool same(double a, double b) const;
    std::string text(double value) const;
    Done judge(const ZoneWrite& w, const std::string& what, double wanted,
               std::optional<double>& held);

    std::unique_ptr<Zone> zone_;
    std::optional<double> wantSv_, wantRate_, attemptedSv_;
    std::optional<ZoneMode> wantMode_;
    bool onConfirmed_ = false;
    bool ramping_ = false, heldBack_ = false;
    double target_ = 0;
    double lastStepAt_ = -std::numeric_limits<double>::infinity();
};
