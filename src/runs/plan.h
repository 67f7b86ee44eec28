#pragma once
// A firing program laid out over time: where the set value should be at
// each second of the plan, which segment that is, and where on the plan a
// kiln at a given temperature already stands. The plan clock (the run
// engine's) is what moves along it; it waits during hold-back, so plan time
// is not the time of day.
#include "runs/program_file.h"

#include <optional>
#include <vector>

double convertTemperature(double value, TemperatureUnit from, TemperatureUnit to);
// A difference of temperatures (an offset, a hold-back, a rate): no zero shift.
double convertDifference(double degrees, TemperatureUnit from, TemperatureUnit to);

// How near a zone's PV must come to where the plan has it to count as
// there (a full-rate segment's target reached, a ramp's SV kept up with), in
// the zone's unit: the program's hold-back, or kNearDigits of the zone's
// display digits where hold-back is off. digits: its decimal places (0 or 1).
inline constexpr int kNearDigits = 3;
double nearBand(const FiringProgram& program, TemperatureUnit zoneUnit, int digits);

// Where a plan begins: the step of the program's run order (run_order.h; the
// segment, in a program without a repeat), the temperature its ramp starts
// from, and how much of its hold was already done (a resumed hold).
struct PlanStart {
    int step = 0;
    double fromSv = 0;
    double holdDone = 0;
};

struct PlanPoint {
    int segment = 0;      // the program's; the last one once the plan has ended
    int step = 0;         // of the run order, as segment
    int cycle = 0;        // of the repeated span, from 1; 0 outside it
    bool ramping = false; // on the segment's ramp, before its hold
    bool ended = false;
    bool up = true;            // the segment heats (or holds after heating); false: it cools
    double sv = 0;             // the planned set value
    double segmentSeconds = 0; // since the segment began on this plan
    double segmentBegins = 0;  // plan time it began at
};

class Plan {
  public:
    Plan(const FiringProgram& program, PlanStart start);

    struct Piece {
        int segment;
        int step, cycle; // of the run order (run_order.h)
        double from, to;
        std::optional<double> rate; // per hour; nothing: full
        double begins, rampSeconds, holdSeconds;
        bool up;
        double ends() const { return begins + rampSeconds + holdSeconds; }
    };
    const std::vector<Piece>& pieces() const { return pieces_; }
    const PlanStart& start() const { return start_; }
    // The piece of a step of the run order; nothing before the plan's start
    // and past its end.
    const Piece* piece(int step) const;

    double totalSeconds() const;
    PlanPoint at(double seconds) const;
    double svAt(double seconds) const { return at(seconds).sv; }

  private:
    PlanStart start_;
    std::vector<Piece> pieces_;
};

// What a `start = pv` program is timed from where no kiln is at hand (the
// total time `q7 programs check` prints): a room's temperature.
double roomTemperature(TemperatureUnit unit);

// Where a run of the program begins with the kiln at pv: the start
// temperature the program names, or else the point where the kiln is.
PlanStart programStart(const FiringProgram& program, double pv);

// The point of the program where a kiln at pv already is, searched from
// step `from` of its run order on: the first segment whose target the kiln has not yet
// reached in the segment's direction, its ramp run from pv. A kiln past
// every target is at the last segment's hold.
PlanStart startFromPv(const FiringProgram& program, double pv, int from = 0);

// Where a run that stood at `clock` on the plan begun at `was` goes on with
// the kiln at pv now: a hold the kiln is still at (within the hold-back, or
// whatever PV is when hold-back is off) goes on with the time already held;
// otherwise the point that matches PV, from the step the run was in.
PlanStart resumePoint(const FiringProgram& program, const PlanStart& was, double clock, double pv);
