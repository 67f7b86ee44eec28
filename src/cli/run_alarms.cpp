#include "cli/run_alarms.h"

#include "alarms/controller_actions.h"
#include "alarms/run_view.h"
#include "cli/run_lines.h"
#include "link/controller.h"
#include "link/registers.h"
#include "monitor/live_reads.h"
#include "runs/run_engine.h"
#include "runs/run_store.h"

#include <ctime>

RunAlarms::RunAlarms(AlarmRules rules, RunEngine& engine, RunLines& lines, RunStore& store,
                     const RunRecorder& recorder)
    : engine_(engine), lines_(lines), store_(store), recorder_(recorder) {
    useCommandHost(actions_, stdout, nullptr);
    readStatus_ = rules.uses(Condition::Kind::alarm1) || rules.uses(Condition::Kind::alarm2);
    actions_.hold = [this](const AlarmEvent& e) { return holdRun(engine_, e); };
    actions_.controllerFor = [this](const std::string& line, int id) -> Controller* {
        const auto& zones = engine_.state().zones;
        for (std::size_t i = 0; i < zones.size(); ++i)
            if (zones[i].port == line && zones[i].id == id) return &lines_.controller(i);
        return nullptr;
    };
    actions_.recordInRun = [this](const AlarmEvent& e) -> std::string {
        if (!recorder_.runId()) return "the run has no record";
        std::optional<int> zone;
        const auto& zones = engine_.state().zones;
        for (std::size_t i = 0; i < zones.size(); ++i)
            if (zones[i].port == e.line && zones[i].id == e.id) zone = int(i);
        return recordInRun(store_, *recorder_.runId(), e, engine_.state().segment, zone);
    };
    alarms_ = std::make_unique<AlarmEngine>(std::move(rules), actions_);
    actions_.useRules(alarms_->rules());
}

void RunAlarms::runUpdated(const RunUpdate& update) {
    if (!update.samples.empty()) samples_ = update.samples;
}

void RunAlarms::poll() {
    const RunState& st = engine_.state();
    const double wall = double(std::time(nullptr));
    for (std::size_t i = 0; i < st.zones.size(); ++i) {
        Controller& c = lines_.controller(i);
        AlarmObservation o;
        o.at = lineClock().now();
        o.wall = wall;
        o.line = st.zones[i].port;
        o.id = st.zones[i].id;
        o.silent = c.health().silent();
        for (const RunSample& s : samples_)
            if (s.zone == int(i)) {
                o.pv = s.pv;
                o.sv = s.sv;
                o.out = s.output; // a run's zones are On: not known
                o.planSv = s.planSv;
            }
        addRunView(engine_, i, o);
        if (readStatus_ && !o.silent && st.phase != RunPhase::ended)
            if (const auto status = ChkAlarmStatus(c)) {
                o.alarm1 = (*status & reg::alarm1Output) != 0;
                o.alarm2 = (*status & reg::alarm2Output) != 0;
            }
        alarms_->observe(o);
    }
    // A poll without samples (the run had none to take) leaves no old values behind.
    samples_.clear();
}
