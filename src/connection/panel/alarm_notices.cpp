#include "connection/panel/alarm_notices.h"

#include "base/number_text.h"
#include "base/time_text.h"
#include "chart/panel/log_setup.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/registers.h"
#include "monitor/live_reads.h"
#include "panelkit/desktop_notice.h"

uint16_t alarmsTurnedOn(uint16_t before, uint16_t now) {
    return uint16_t(now & ~before & reg::alarmOutputs);
}

AlarmNotices::AlarmNotices(Controller& c, DataLog& log) : controller_(c), log_(log) {
    observer_ = c.line().addLineObserver([this](LineEvent e, int) { noteLineEvent(e); });
    // Its falling silent and answering again are the controller's own.
    healthObserver_ = c.health().addObserver([this](LineEvent e, int) { noteLineEvent(e); });
}

AlarmNotices::~AlarmNotices() {
    controller_.line().removeLineObserver(observer_);
    controller_.health().removeObserver(healthObserver_);
}

NoticeSwitches AlarmNotices::switches() const {
    return {alarms_, silence_};
}

void AlarmNotices::setSwitches(NoticeSwitches switches) {
    alarms_ = switches.alarms;
    silence_ = switches.silence;
}

// The data log keeps the event beside the samples, in its own words.
void AlarmNotices::logEvent(const std::string& what) {
    int month = 0, day = 0, year = 0;
    GetSystemDate(&month, &day, &year);
    logLine(log_, formatWhole(month) + "/" + formatWhole(day) + "/" + formatWhole(year) + ", " +
                      TimeStr() + ", " + what);
}

std::string AlarmNotices::idText() const {
    return "controller " + std::to_string(controller_.controllerId()) + " on COM" +
           std::to_string(controller_.line().comPort());
}

void AlarmNotices::noteStatus(uint16_t status) {
    const uint16_t on = status & reg::alarmOutputs;
    const uint16_t rose = alarmsTurnedOn(lastAlarms_, status);
    lastAlarms_ = on;
    if (!rose) return;
    std::string which;
    if (rose & reg::alarm1Output) which = "alarm 1";
    if (rose & reg::alarm2Output) which += which.empty() ? "alarm 2" : " and alarm 2";
    const std::string text = which + " output on, " + idText();
    logEvent(text);
    if (alarms_) desktopNotice("Alarm", text + " at " + TimeStr() + ".");
}

void AlarmNotices::noteLineEvent(LineEvent event) {
    if (event == LineEvent::disconnected || event == LineEvent::lost) lastAlarms_ = 0;
    if (event != LineEvent::silent) return;
    const std::string text = "no reply from " + idText();
    logEvent(text);
    if (silence_) desktopNotice("Controller Not Answering", text + " since " + TimeStr() + ".");
}

int ChkAlarm(AlarmNotices& notices, int, CtrlId, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    Controller& c = notices.controller();
    if (!c.line().linkUp()) return 0;
    if (const std::optional<uint16_t> status = ChkAlarmStatus(c)) notices.noteStatus(*status);
    return 0;
}
