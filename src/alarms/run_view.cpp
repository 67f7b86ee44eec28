#include "alarms/run_view.h"

#include "alarms/alarm_observation.h"
#include "runs/run_engine.h"

#include <cmath>
#include <string>

void addRunView(const RunEngine& engine, std::size_t zone, AlarmObservation& o) {
    const RunState& st = engine.state();
    const PlanPoint point = engine.plan().at(st.planClock);
    // The plan's rate where it ramps at one: not in a hold, a full-power
    // segment, a pause or before the start.
    std::optional<double> rate;
    if (st.phase == RunPhase::running && point.ramping && !point.ended)
        for (const Plan::Piece& p : engine.plan().pieces())
            if (p.segment == point.segment && p.rate) rate = (p.up ? 1 : -1) * std::fabs(*p.rate);
    if (rate)
        o.planRate = convertDifference(*rate, engine.program().unit, engine.zoneFacts(zone).unit);
    o.run = st.phase == RunPhase::ended     ? AlarmObservation::Run::ended
            : st.phase == RunPhase::waiting ? AlarmObservation::Run::none
                                            : AlarmObservation::Run::running;
    if (st.started) o.segment = st.segment;
    o.timeScale = st.timeScale;
    o.failedToReach = engine.unreached() == zone;
}

AlarmObservation runZoneObservation(const RunEngine& engine, std::size_t zone, bool silent,
                                    Clock::TimePoint at) {
    const ZoneReading& r = engine.zoneReading(zone);
    PolledValues v;
    v.pv = r.pv;
    v.sv = r.sv;
    v.out = r.output; // a run's zones are On: not known
    if (r.status) addAlarmOutputs(*r.status, v);
    const ZoneState& z = engine.state().zones[zone];
    AlarmObservation o = alarmObservation(z.port, z.id, silent, v, at);
    o.planSv = engine.zonePlanSv(zone);
    addRunView(engine, zone, o);
    return o;
}

ActionResult holdRun(RunEngine& engine, const AlarmEvent& e) {
    if (engine.state().phase != RunPhase::running)
        return {true, "not done: the run is not running"};
    engine.pause("alarm rule " + e.rule + " on " + e.line + " id " + std::to_string(e.id));
    return {true, "done"};
}
