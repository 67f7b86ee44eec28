#include "connection/panel/alarm_notices.h"

#include "base/number_text.h"
#include "base/time_text.h"
#include "chart/panel/log_setup.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "link/registers.h"
#include "monitor/panel/pv_polling.h"
#include "panelkit/desktop_notice.h"
#include "panelkit/panel_service.h"

#include <atomic>
#include <string>

namespace {

std::atomic<bool> gAlarms{true};
std::atomic<bool> gSilence{true};
// The alarm outputs as last polled; the control thread alone touches it.
uint16_t gLastAlarms = 0;

// The data log keeps the event beside the samples, in its own words.
void logEvent(const std::string& what) {
    int month = 0, day = 0, year = 0;
    GetSystemDate(&month, &day, &year);
    logLine(formatWhole(month) + "/" + formatWhole(day) + "/" + formatWhole(year) + ", " +
            TimeStr() + ", " + what);
}

std::string idText(Controller& c) {
    return "controller " + std::to_string(c.controllerId()) + " on COM" +
           std::to_string(c.line().comPort());
}

void onAlarmStatus(Controller& c, uint16_t status) {
    const uint16_t on = status & reg::alarmOutputs;
    const uint16_t rose = alarmsTurnedOn(gLastAlarms, status);
    gLastAlarms = on;
    if (!rose) return;
    std::string which;
    if (rose & reg::alarm1Output) which = "alarm 1";
    if (rose & reg::alarm2Output) which += which.empty() ? "alarm 2" : " and alarm 2";
    const std::string text = which + " output on, " + idText(c);
    logEvent(text);
    if (gAlarms) desktopNotice("Alarm", text + " at " + TimeStr() + ".");
}

void onLineEvent(Controller& c, LineEvent event, int) {
    if (event == LineEvent::disconnected || event == LineEvent::lost) gLastAlarms = 0;
    if (event != LineEvent::silent) return;
    const std::string text = "no reply from " + idText(c);
    logEvent(text);
    if (gSilence) desktopNotice("Controller Not Answering", text + " since " + TimeStr() + ".");
}

} // namespace

NoticeSwitches noticeSwitches() {
    return {gAlarms, gSilence};
}

void setNoticeSwitches(NoticeSwitches switches) {
    gAlarms = switches.alarms;
    gSilence = switches.silence;
}

uint16_t alarmsTurnedOn(uint16_t before, uint16_t now) {
    return uint16_t(now & ~before & reg::alarmOutputs);
}

void watchAlarmsAndSilence(Controller& c) {
    static const int handle =
        c.line().addLineObserver([&c](LineEvent e, int port) { onLineEvent(c, e, port); });
    static const int health =
        c.health().addObserver([&c](LineEvent e, int port) { onLineEvent(c, e, port); });
    (void)handle;
    (void)health;
    setAlarmStatusListener(onAlarmStatus);
}

void forgetAlarmStatus() {
    gLastAlarms = 0;
}
