#include "cli/run_alarms.h"

#include "alarms/alarm_observation.h"
#include "alarms/controller_actions.h"
#include "alarms/run_view.h"
#include "cli/run_lines.h"
#include "link/controller.h"
#include "runs/run_host.h"

RunAlarms::RunAlarms(AlarmRules rules, RunHost& host, RunLines& lines)
    : host_(host), lines_(lines) {
    useCommandHost(actions_, stdout, nullptr);
    actions_.hold = [this](const AlarmEvent& e) { return holdRun(host_.engine(), e); };
    actions_.controllerFor = [this](const std::string& line, int id) -> Controller* {
        const auto& zones = host_.engine().state().zones;
        for (std::size_t i = 0; i < zones.size(); ++i)
            if (zones[i].port == line && zones[i].id == id) return &lines_.controller(i);
        return nullptr;
    };
    actions_.recordInRun = [this](const AlarmEvent& e) -> std::string {
        if (!host_.runId()) return "the run has no record";
        std::optional<int> zone;
        const auto& zones = host_.engine().state().zones;
        for (std::size_t i = 0; i < zones.size(); ++i)
            if (zones[i].port == e.line && zones[i].id == e.id) zone = int(i);
        return recordInRun(host_.store(), *host_.runId(), e, host_.engine().state().segment, zone);
    };
    alarms_ = std::make_unique<AlarmEngine>(std::move(rules), actions_);
    actions_.useRules(alarms_->rules());
}

void RunAlarms::poll() {
    const RunEngine& engine = host_.engine();
    for (std::size_t i = 0; i < engine.state().zones.size(); ++i) {
        Controller& c = lines_.controller(i);
        AlarmObservation o = runZoneObservation(engine, i, c.health().silent(), lineClock().now());
        // Its poll noted the mode, Manual told apart from the others.
        if (c.mode()) o.mode = c.mode();
        if (!engine.ended()) readAlarmOutputs(c, alarms_->rules(), o);
        alarms_->observe(o);
    }
}
