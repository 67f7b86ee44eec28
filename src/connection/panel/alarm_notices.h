#pragma once
// The alarm rules in the panels: at each tick of the main panel's alarm
// poll, the controller's status word (and PV and SV, where a rule asks for
// them) go to the alarm engine the commands use, and the rules' actions
// are done here. What the panels' own polls read since the last tick is
// observed as it was read; only what none of them read is read for the rules. Without alarms.conf
// the built-in rules apply, so the operator hears, as always, when the controller's alarm outputs
// turn on and when it stops answering: a desktop notification and a line in the data log, once per
// turn, never once per poll.
//
// The Connection dialog's two switches stay: "alarm notices" lets the
// notify of every rule that does not watch silence through, "silence
// notices" that of the rules that do. A switched-off notice is still an
// event, logged and listed.
#include "alarms/alarm_host.h"
#include "base/clock.h"
#include "link/line_events.h"
#include "panelkit/panel_service.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class Controller;
class DataLog;

struct NoticeSwitches {
    bool alarms = true;
    bool silence = true;
};

class AlarmNotices {
  public:
    // Listens to the controller's line for as long as it lives. The
    // built-in rules apply until loadRules() chooses.
    AlarmNotices(Controller& c, DataLog& log);
    ~AlarmNotices();
    AlarmNotices(const AlarmNotices&) = delete;
    AlarmNotices& operator=(const AlarmNotices&) = delete;

    Controller& controller() { return controller_; }
    // Any thread.
    NoticeSwitches switches() const;
    void setSwitches(NoticeSwitches switches);

    // The rules from the file named, else alarms.conf in the working
    // folder, else the built-in ones. A refused file leaves the built-in
    // rules in force: why, else empty. Control thread.
    std::string loadRules(const std::string& named);
    // Control thread.
    const AlarmRules& rules() const { return engine_->rules(); }
    // Each event, as recorded (control thread): the Events list hears it.
    std::function<void(const AlarmEvent&)> onEvent;
    // The alarm poll's tick: one observation of the controller. Control thread.
    void poll();

    // What a firing run the panels drive on this controller (its only zone)
    // tells the rules, and what hold and the run's record mean for it; lent
    // for one observation.
    struct RunHooks {
        // The zone as the run's poll read it, at `at` on the rules' clock.
        std::function<AlarmObservation(Clock::TimePoint at, bool silent)> observe;
        std::function<ActionResult(const AlarmEvent&)> hold;
        std::function<std::string(const AlarmEvent&)> record;
        bool ended = false;
    };
    // One observation of the controller as the run's zone, after a poll of
    // the run. While the run is open the alarm poll's tick leaves the
    // controller to these, so that no rule sees it twice. Control thread.
    void pollRun(const RunHooks& run);
    bool runOpen() const { return runOpen_; }
    // The clock the rules' times run on: the line's unless a test moves on
    // past the minute a rule waits between firings.
    void setClock(Clock* clock) { clock_ = clock; }

  private:
    void use(AlarmRules rules);
    // The controller as the rules see it now.
    AlarmObservation observe();
    Clock::TimePoint now() const;
    void noteLineEvent(LineEvent event);
    std::string lineName() const;

    Controller& controller_;
    DataLog& log_;
    std::atomic<bool> alarms_{true};
    std::atomic<bool> silence_{true};
    HostAlarmActions actions_;
    std::unique_ptr<AlarmEngine> engine_; // the control thread's
    Clock* clock_ = nullptr;
    // When the alarm poll last looked, on the line clock (the control thread's).
    std::optional<Clock::TimePoint> lookedAt_;
    int observer_ = 0;
    bool runOpen_ = false; // the control thread's
};

// Alarm timer tick: polls the controller for the alarm rules.
int ChkAlarm(AlarmNotices& notices, int panel, CtrlId control, int event);
