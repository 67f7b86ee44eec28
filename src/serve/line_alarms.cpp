#include "serve/line_alarms.h"

#include "alarms/alarm_observation.h"
#include "base/json_writer.h"
#include "serve/line_runs.h"
#include "serve/messages.h"
#include "serve/serve_setup.h"

#include <chrono>
#include <ctime>

std::string alarmEventJson(const AlarmEvent& e) {
    JsonObject o;
    o.text("rule", e.rule).whole("id", e.id);
    if (e.pv) o.number("pv", *e.pv, 1);
    if (e.sv) o.number("sv", *e.sv, 1);
    if (e.out) o.number("out", *e.out, 1);
    if (e.deviation) o.number("deviation", *e.deviation, 1);
    if (e.rate) o.number("rate", *e.rate, 0);
    o.text("text", e.subject());
    if (e.kind == AlarmEvent::Kind::actionFailed) {
        std::string failed;
        for (const std::string& d : e.done)
            failed += (failed.empty() ? "" : "; ") + d;
        o.boolean("ok", false).text("failed", failed);
    }
    o.text("time", localIsoTime(std::chrono::system_clock::time_point(
                       std::chrono::duration_cast<std::chrono::system_clock::duration>(
                           std::chrono::duration<double>(e.wall)))));
    return o.str();
}

LineAlarms::LineAlarms(AlarmRules rules, std::set<Setting> writes, TopicBase base, BridgeLine& line,
                       LineRuns& runs, BrokerLink& link, Log log)
    : writes_(std::move(writes)), base_(std::move(base)), line_(line), runs_(runs), link_(link),
      log_(std::move(log)) {
    actions_.publish = [this](const AlarmEvent& e) -> ActionResult {
        link_.publish(base_.of(e.id, "event"), alarmEventJson(e), false);
        return {true, "sent"};
    };
    actions_.hold = [this](const AlarmEvent& e) {
        return runs_.hold(e.id,
                          "alarm rule " + e.rule + " on " + e.line + " id " + std::to_string(e.id));
    };
    actions_.controllerFor = [this](const std::string&, int id) -> Controller* {
        std::string why;
        return line_.controller(id, &why);
    };
    // Refused as the rules are read; this holds the gate should a rule
    // come to a controller by another way.
    actions_.writeRefused = [this](const AlarmEvent&, const AlarmAction& a) -> std::string {
        const auto s = settingWritten(a);
        if (!s || writes_.count(*s)) return "";
        return "the line's writes does not name " + std::string(settingName(*s));
    };
    actions_.writeLog = [this](const std::string& text, std::string*) -> std::optional<bool> {
        log_(text);
        return true;
    };
    actions_.recordInRun = [this](const AlarmEvent& e) { return runs_.recordAlarm(e); };
    actions_.told = [this](const AlarmEvent& e, const std::string& text) {
        log_("alarm " + text);
        // Whoever follows the events hears of a safety action that did not happen.
        if (e.kind == AlarmEvent::Kind::actionFailed)
            link_.publish(base_.of(e.id, "event"), alarmEventJson(e), false);
    };
    engine_ = std::make_unique<AlarmEngine>(std::move(rules), actions_);
    actions_.useRules(engine_->rules());
}

void LineAlarms::observe(int id, const Reading& r, bool silent) {
    if (r.stopped) return;
    PolledValues v{r.pv, r.sv, r.out, r.alarm1, r.alarm2, std::nullopt};
    if (r.mode) v.mode = controlModeOf(uint16_t(*r.mode));
    AlarmObservation o = alarmObservation(base_.line, id, silent, v);
    runs_.describe(id, o);
    engine_->observe(o);
}

void LineAlarms::reap() {
    engine_->reap(double(std::time(nullptr)));
}

void LineAlarms::forgetIds(const std::vector<int>& ids) {
    for (int id : ids)
        engine_->forget(base_.line, id);
}
