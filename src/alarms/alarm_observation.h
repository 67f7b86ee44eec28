#pragma once
// One poll's reading as the alarm rules see it. Every host that polls (the
// panels, `q7 watch`, `q7 run`, the bridge) makes its observations here,
// from what its own poll read: nothing is read again for the rules.
#include "alarms/alarm_engine.h"
#include "base/clock.h"

#include <cstdint>
#include <optional>
#include <string>

class Controller;
struct PollReading;

// What one poll read of a controller, in its own unit. A value is there
// only when a good reply gave it.
struct PolledValues {
    std::optional<double> pv, sv;
    // The output in percent as the controller tells it (reportedOutput):
    // in On it tells none.
    std::optional<double> out;
    std::optional<bool> alarm1, alarm2; // its alarm outputs, where the status word was read
    std::optional<ControlMode> mode;    // where the poll read it
};

// The values of the one poll (monitor/controller_poll.h).
PolledValues polledValues(const PollReading& r);
// The alarm outputs a status word shows.
void addAlarmOutputs(std::uint16_t status, PolledValues& v);

// The observation of the controller at id on line ("COM1", the bridge's
// line name) at `at` on the line clock, with the wall clock's time now;
// silent: it is not answering.
AlarmObservation alarmObservation(const std::string& line, int id, bool silent,
                                  const PolledValues& v, Clock::TimePoint at);
inline AlarmObservation alarmObservation(const std::string& line, int id, bool silent,
                                         const PolledValues& v) {
    return alarmObservation(line, id, silent, v, lineClock().now());
}

// Where the rules look at the alarm outputs and the poll did not read the
// status word (a controller read one register at a time), one read of it,
// unless the controller is silent.
void readAlarmOutputs(Controller& c, const AlarmRules& rules, AlarmObservation& o);
