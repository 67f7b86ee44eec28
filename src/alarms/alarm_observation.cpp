#include "alarms/alarm_observation.h"

#include "link/registers.h"
#include "monitor/controller_poll.h"
#include "monitor/live_reads.h"

PolledValues polledValues(const PollReading& r) {
    PolledValues v;
    v.pv = r.pv;
    v.sv = r.sv;
    v.out = reportedOutput(r);
    v.mode = r.mode;
    if (r.status) addAlarmOutputs(*r.status, v);
    return v;
}

void addAlarmOutputs(std::uint16_t status, PolledValues& v) {
    v.alarm1 = (status & reg::alarm1Output) != 0;
    v.alarm2 = (status & reg::alarm2Output) != 0;
}

AlarmObservation alarmObservation(const std::string& line, int id, bool silent,
                                  const PolledValues& v, Clock::TimePoint at) {
    AlarmObservation o;
    o.at = at;
    o.wall = wallSeconds();
    o.line = line;
    o.id = id;
    o.silent = silent;
    o.pv = v.pv;
    o.sv = v.sv;
    o.out = v.out;
    o.alarm1 = v.alarm1;
    o.alarm2 = v.alarm2;
    o.mode = v.mode;
    return o;
}

void readAlarmOutputs(Controller& c, const AlarmRules& rules, AlarmObservation& o) {
    if (o.silent || o.alarm1 || o.alarm2) return;
    if (!rules.uses(Condition::Kind::alarm1) && !rules.uses(Condition::Kind::alarm2)) return;
    if (const auto status = ChkAlarmStatus(c)) {
        PolledValues v;
        addAlarmOutputs(*status, v);
        o.alarm1 = v.alarm1;
        o.alarm2 = v.alarm2;
    }
}
