#pragma once
// How many set value writes a firing takes, and the min_write a program
// that names none runs with. A controller may keep its set value in
// non-volatile memory that wears with every write, so a run steps it by
// one display digit, no more often than min_write seconds, and a program
// that says nothing gets a min_write long enough that a firing stays under
// about kWritesPerFiring writes to each controller.
#include "runs/plan.h"
#include "runs/zone.h"

inline constexpr long kWritesPerFiring = 1000;
// The shortest min_write chosen, and the one a program may name at most.
inline constexpr double kDefaultMinWrite = 10;

// Writes to one controller over the plan: on a controller that ramps by
// itself, a rate and a set value per ramp; on any other, a step per
// display digit (digit: in the program's unit) at most every minWrite
// seconds, and each segment's target as it ends.
long plannedWrites(const Plan& plan, double digit, bool ramps, double minWrite);

// min_write for a plan on a controller stepped by digit: kDefaultMinWrite,
// or the shortest whole number of seconds above it that keeps the plan
// within kWritesPerFiring writes.
double chosenMinWrite(const Plan& plan, double digit);

// What a firing of the program from pv takes: its min_write, chosen from
// the program alone (a `start = pv` plan from a room's temperature) so that
// a resumed run steps as the first did, and the writes of the plan from pv.
struct FiringWrites {
    double minWrite = kDefaultMinWrite;
    bool chosen = false; // the program names no min_write
    long writes = 0;
};
FiringWrites firingWrites(const FiringProgram& program, double pv, double digit, bool ramps);

// The display digit of a controller, in the program's unit.
double digitIn(const ZoneFacts& facts, TemperatureUnit unit);

// "about 120 set value writes to each controller, a step at most every 10 s
// (min_write)", with "chosen" where the program named none.
std::string writesText(const FiringWrites& w);
