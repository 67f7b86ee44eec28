#pragma once
// What a firing run tells the alarm rules of one of its zones: whether it
// runs or ended, its segment and time scale, and the plan's rate where it
// ramps at one. One reading for `q7 run` and the bridge.
#include "alarms/alarm_engine.h"

#include <cstddef>

class RunEngine;

void addRunView(const RunEngine& engine, std::size_t zone, AlarmObservation& o);

// Zone i of the run as the rules see it after a poll of the run: what the
// run read of its controller (nothing is read again), where the plan has
// it, and the run's view; at on the line clock, silent as the controller's
// health says.
AlarmObservation runZoneObservation(const RunEngine& engine, std::size_t zone, bool silent,
                                    Clock::TimePoint at);

// A rule's hold: pauses the run, with the rule and controller as the reason.
ActionResult holdRun(RunEngine& engine, const AlarmEvent& event);
