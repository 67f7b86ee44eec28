#pragma once
// The actions that write to a controller, on the one checked path every
// other writer takes: `off` through the guarded mode write, `sv N` through
// the checked set value write (its register's range and the controller's
// Lo/Hi limits first, then the echo). And the way an event reaches a run's
// record. Every host shares these.
#include "alarms/alarm_engine.h"
#include "runs/run_record.h"

#include <optional>
#include <string>

class Controller;
class RunStore;

ActionResult switchOff(Controller& c);
ActionResult setSafeSv(Controller& c, double value);

// The event as the run's record keeps it: an alarm of the zone.
RunEvent runEventOf(const AlarmEvent& event, int segment, std::optional<int> zone);
// Adds it to run id of the store; why not, else empty.
std::string recordInRun(RunStore& store, long long id, const AlarmEvent& event, int segment,
                        std::optional<int> zone);
