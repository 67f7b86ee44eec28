#include "alarms/run_view.h"

#include "alarms/alarm_observation.h"
#include "runs/run_engine.h"

#include <cmath>
#include <string>

void addRunView(const RunEngine& engine, std::size_t zone, AlarmObservation& o) {
    const RunState& st = engine.state();
    const PlanPoint point = engine.plan().at(st.planClock);
    const Plan::Piece* piece = engine.plan().piece(point.step);
    const ZoneFacts& facts = engine.zoneFacts(zone);
    const TemperatureUnit unit = engine.program().unit;
    const double band = nearBand(engine.program(), facts.unit, facts.digits);
    const bool going = (st.phase == RunPhase::running || st.phase == RunPhase::paused) &&
                       st.started && !point.ended && piece;
    // A zone is asked for the plan's rate only on a ramp, not paused, while
    // its own SV leads its PV the ramp's way by more than the band: one
    // whose SV began below its PV, or that keeps up with it, is asked
    // nothing. While the plan waits for another zone, the plan's slowness
    // is that zone's, and only it is judged.
    const std::optional<double> sv = o.planSv ? o.planSv : o.sv;
    const std::optional<int> waitsFor = engine.holdingBackFor();
    if (going && st.phase == RunPhase::running && point.ramping && piece->rate && o.pv && sv &&
        (piece->up ? *sv - *o.pv : *o.pv - *sv) > band &&
        (!engine.holdingBack() || waitsFor == int(zone)))
        o.planRate =
            convertDifference((piece->up ? 1 : -1) * std::fabs(*piece->rate), unit, facts.unit);
    if (going && !piece->rate) {
        const double target =
            convertTemperature(piece->to + st.zones[zone].offset, unit, facts.unit);
        o.fullRateReached = o.pv && (piece->up ? *o.pv >= target - band : *o.pv <= target + band);
    }
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
    // Manual is one of the modes a zone tells only as other; a host that
    // has the controller tells it apart (its poll noted the mode).
    if (r.mode == ZoneMode::off) v.mode = ControlMode::off;
    if (r.mode == ZoneMode::on) v.mode = ControlMode::on;
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
