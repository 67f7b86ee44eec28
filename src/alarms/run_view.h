#pragma once
// What a firing run tells the alarm rules of one of its zones: whether it
// runs or ended, its segment and time scale, and the plan's rate where it
// ramps at one. One reading for `q7 run` and the bridge.
#include "alarms/alarm_engine.h"

#include <cstddef>

class RunEngine;

void addRunView(const RunEngine& engine, std::size_t zone, AlarmObservation& o);

// A rule's hold: pauses the run, with the rule and controller as the reason.
ActionResult holdRun(RunEngine& engine, const AlarmEvent& event);
