#include "connection/panel/alarm_notices.h"

#include "base/clock.h"
#include "base/time_text.h"
#include "chart/data_log.h"
#include "chart/panel/log_setup.h"
#include "link/control_mode.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/registers.h"
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

void AlarmNotices::read(AlarmObservation& o) {
    Controller& c = controller_;
    const AlarmRules& r = rules();
    o.at = (clock_ ? *clock_ : lineClock()).now();
    o.wall = wallSeconds();
    o.line = lineName();
    o.id = c.controllerId();
    if (r.uses(Condition::Kind::alarm1) || r.uses(Condition::Kind::alarm2))
        if (const std::optional<uint16_t> status = ChkAlarmStatus(c)) {
            o.alarm1 = (*status & reg::alarm1Output) != 0;
            o.alarm2 = (*status & reg::alarm2Output) != 0;
        }
    if (r.usesQuantity(Quantity::pv) || r.usesQuantity(Quantity::deviation) ||
        r.usesQuantity(Quantity::rate))
        o.pv = ReadPVPVOF(c);
    if (needsSv(r)) o.sv = ReadSVSVOF(c);
    // The output is known only as the level Manual holds, and as 0 when Off.
    if (c.mode() == ControlMode::off) o.out = 0;
    // Asked after the reads, so this tick's own silence counts.
    o.silent = c.health().silent();
}

void AlarmNotices::poll() {
    AlarmObservation o;
    read(o);
    engine_->observe(o);
}

void AlarmNotices::pollRun(const RunHooks& run) {
    AlarmObservation o;
    read(o);
    if (run.describe) run.describe(o);
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
