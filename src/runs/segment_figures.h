#pragma once
// What a segment of a stored run did against its plan. history/ computes
// these from a run's samples; the run store keeps them of an ended run, and
// they are all that stays of a run whose samples were pruned, so what the
// history shows of it stays the same.
//
// Times are plan seconds: wall seconds times the run's time scale.
// Deviations are |PV - the plan's SV| in the degrees the zones' controllers
// show.
#include <optional>

struct SegmentFigures {
    int segment = 0;           // the program's, counted from 0
    // Of the program's repeat, from 1, and of how many; 0 outside one (and
    // in figures kept from before the samples were pruned, which keep no cycle).
    int cycle = 0, cycles = 0;
    bool ramp = false;         // the set value moves in it (a rate, or full)
    double plannedSeconds = 0; // its ramp and hold on this run's plan
    double plannedHoldSeconds = 0;
    double actualSeconds = 0; // from its start to the next one's, pauses left out
    double pausedSeconds = 0;
    double heldBackSeconds = 0; // the plan clock waited for a zone
    bool finished = false;      // the run went on past it, or completed in it
    std::optional<double> largestDeviation, meanDeviation; // over every zone's samples
    // A finished ramp's own time: the segment's less its planned hold.
    std::optional<double> rampSeconds;
    // Degrees per hour the kiln reached on a finished ramp, PV from the
    // segment's start to its ramp's end: the slowest zone's (the one the
    // plan waits for).
    std::optional<double> rateReached;

    bool operator==(const SegmentFigures&) const = default;
};
