#include "connection/panel/alarm_notices.h"

#include "alarms/alarm_observation.h"
#include "base/clock.h"
#include "base/time_text.h"
#include "chart/data_log.h"
#include "chart/panel/log_setup.h"
#include "link/control_mode.h"
#include "link/controller.h"
#include "link/line.h"
#include "monitor/live_reads.h"
#include "panelkit/desktop_notice.h"

namespace {

bool needsSv(const AlarmRules& rules) {
    if (rules.usesQuantity(Quantity::sv) || rules.usesQuantity(Quantity::deviation)) return true;
    for (const AlarmRule& r : rules.rules)
        for (const Condition& c : r.when)
            if (c.kind == Condition::Kind::compare && c.againstSv) return true;
    return false;
}

bool watchesSilence(const AlarmRules& rules, const std::string& name) {
    for (const AlarmRule& r : rules.rules)
        if (r.name == name)
            for (const Condition& c : r.when)
                if (c.kind == Condition::Kind::silent) return true;
    return false;
}

} // namespace

AlarmNotices::AlarmNotices(Controller& c, DataLog& log) : controller_(c), log_(log) {
    actions_.notify = [this](const AlarmEvent& e, const AlarmWords& w) -> ActionResult {
        if (!(watchesSilence(rules(), e.rule) ? silence_ : alarms_))
            return {true, "not shown: switched off"};
        desktopNotice(w.title, w.text + " " + w.when + " " + clockTextAt(e.wall) + ".");
        return {true, "done"};
    };
    actions_.writeLog = [this](const std::string& line, std::string* why) -> std::optional<bool> {
        if (!log_.on()) return std::nullopt;
        // A log that cannot be written is closed and told as every log line's failure is.
        logLine(log_, line);
        if (!log_.on()) *why = "the log file could not be written";
        return log_.on();
    };
    actions_.controllerFor = [this](const std::string& line, int id) -> Controller* {
        if (line != lineName() || id != controller_.controllerId()) return nullptr;
        return &controller_;
    };
    actions_.told = [this](const AlarmEvent& e, const std::string&) {
        if (onEvent) onEvent(e);
    };
    use(builtInAlarmRules());
    // A line closed or lost: what the controller shows once it answers
    // again is news, as at the first poll.
    observer_ = c.line().addLineObserver([this](LineEvent e, int) { noteLineEvent(e); });
}

AlarmNotices::~AlarmNotices() {
    controller_.line().removeLineObserver(observer_);
}

NoticeSwitches AlarmNotices::switches() const {
    return {alarms_, silence_};
}

void AlarmNotices::setSwitches(NoticeSwitches switches) {
    alarms_ = switches.alarms;
    silence_ = switches.silence;
}

void AlarmNotices::use(AlarmRules rules) {
    engine_ = std::make_unique<AlarmEngine>(std::move(rules), actions_);
    actions_.useRules(engine_->rules());
}

std::string AlarmNotices::loadRules(const std::string& named) {
    auto chosen = chooseAlarmRules(named);
    if (auto* why = std::get_if<std::string>(&chosen)) {
        use(builtInAlarmRules());
        return *why;
    }
    use(std::get<AlarmRules>(std::move(chosen)));
    return {};
}

std::string AlarmNotices::lineName() const {
    return "COM" + std::to_string(controller_.line().comPort());
}

void AlarmNotices::noteLineEvent(LineEvent event) {
    if (event != LineEvent::disconnected && event != LineEvent::lost) return;
    // Line events come on the thread that works the line, the control thread.
    engine_->forget(lineName(), controller_.controllerId());
}

namespace {

// What was read of the controller since the alarm poll last looked.
std::optional<double> readSince(const Controller::LiveRead& r,
                                std::optional<Clock::TimePoint> since) {
    if (!r.value || (since && r.at <= *since)) return std::nullopt;
    return r.value;
}

} // namespace

Clock::TimePoint AlarmNotices::now() const {
    return (clock_ ? *clock_ : lineClock()).now();
}

AlarmObservation AlarmNotices::observe() {
    Controller& c = controller_;
    const AlarmRules& r = rules();
    // The panels' own polls (PV, the chart, the step program) read the
    // controller anyway: what they read since the last look is observed,
    // and only what none of them read is asked for here.
    const std::optional<Clock::TimePoint> since = lookedAt_;
    PolledValues v;
    if (r.uses(Condition::Kind::alarm1) || r.uses(Condition::Kind::alarm2)) {
        std::optional<double> status = readSince(c.live.status, since);
        if (!status)
            if (const std::optional<uint16_t> read = ChkAlarmStatus(c)) status = *read;
        if (status) addAlarmOutputs(uint16_t(*status), v);
    }
    if (r.usesQuantity(Quantity::pv) || r.usesQuantity(Quantity::deviation) ||
        r.usesQuantity(Quantity::rate)) {
        v.pv = readSince(c.live.pv, since);
        if (!v.pv) v.pv = ReadPVPVOF(c);
    }
    if (needsSv(r)) {
        v.sv = readSince(c.live.sv, since);
        if (!v.sv) v.sv = ReadSVSVOF(c);
    }
    lookedAt_ = lineClock().now();
    // The output is known only as the level Manual holds, and as 0 when Off.
    if (c.mode() == ControlMode::off) v.out = 0;
    v.mode = c.mode();
    // Asked after the reads, so this tick's own silence counts.
    return alarmObservation(lineName(), c.controllerId(), c.health().silent(), v, now());
}

void AlarmNotices::poll() {
    engine_->observe(observe());
}

void AlarmNotices::pollRun(const RunHooks& run) {
    AlarmObservation o = run.observe(now(), controller_.health().silent());
    if (!run.ended) readAlarmOutputs(controller_, rules(), o);
    actions_.hold = run.hold;
    actions_.recordInRun = run.record;
    engine_->observe(o);
    actions_.hold = nullptr;
    actions_.recordInRun = nullptr;
    runOpen_ = !run.ended;
}

int ChkAlarm(AlarmNotices& notices, int, CtrlId, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    if (!notices.controller().line().linkUp() || notices.runOpen()) return 0;
    notices.poll();
    return 0;
}
