#pragma once
// The alarm rules at work: fed one observation per controller per poll by
// whoever polls (the panels, `q7 watch`, `q7 run`, the bridge), it decides
// which rules fire and has their actions done.
//
// A rule fires once as its whole condition becomes true (after it has held
// for its `for` time), and again only after the condition has been false for
// that time, so a value hovering at a limit does not fire at every poll. It
// fires at most once a minute per rule and controller; a firing held back by
// that comes once the minute is over, if the condition still holds. A firing
// one of whose actions was not carried out (a write refused, a command that
// could not start, still ran from before, or ended badly) is not done: while
// the condition holds, the rule fires again a minute later with the actions
// that failed, until they are carried out.
//
// Time is the line clock's (base/clock.h), so the tests run on a virtual
// one. A run's `for` times and rates are on its plan's time scale: a run at
// 60 times life waits a minute's `for` in a second.
#include "alarms/alarm_command.h"
#include "alarms/alarm_rules.h"
#include "alarms/notifier.h"
#include "base/clock.h"
#include "link/control_mode.h"

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

// One poll of one controller. A value is there only when a good reply gave it.
struct AlarmObservation {
    Clock::TimePoint at;      // the line clock's
    double wall = 0;          // the same moment as Unix time, for the event's record
    std::string line;         // "COM1"
    int id = 0;               // the controller's
    bool silent = false;      // it stopped answering
    std::optional<double> pv; // in its own unit
    std::optional<double> sv;
    // The output in percent: the controller tells it only as the level it
    // takes in Manual (and it is 0 when Off), so in On it is not known.
    std::optional<double> out;
    std::optional<bool> alarm1, alarm2; // its alarm outputs, where the status word was read
    std::optional<bool> sensorError;    // where it reports one
    // Its control mode, where the poll read it. Outside a run, PV is
    // compared with SV only while the controller works to it: Off or in
    // Manual there is no deviation.
    std::optional<ControlMode> mode;
    // When a run drives it: where the plan has it, and the rate its SV asks
    // of it (degrees per hour of the plan, signed), which is the plan's on a
    // ramp while its SV leads its PV the ramp's way by more than the plan's
    // band (nearBand) and the plan does not wait for another zone; nothing
    // otherwise (a hold, a full-rate segment, a zone already there).
    std::optional<double> planSv, planRate;
    // On a full-rate segment: whether PV is at its target this poll (within
    // the band, or past it). The kiln heats or cools as fast as it can until
    // then, so how far PV is from the plan is no deviation before it first
    // gets there in the segment.
    std::optional<bool> fullRateReached;
    enum class Run { none, running, ended };
    Run run = Run::none;
    std::optional<int> segment; // the run's, counted from 0
    bool failedToReach = false; // its run waited for it past max_holdback
    double timeScale = 1;       // the run's plan clock against life
};

struct AlarmEvent {
    enum class Kind {
        fired,        // a rule's condition came true
        actionFailed, // an action of a firing did not work (a write refused, a command's end)
    };
    Kind kind = Kind::fired;
    double wall = 0;
    std::string rule, line;
    int id = 0;
    std::optional<double> pv, sv, out, deviation, rate;
    std::vector<AlarmAction> actions;
    // What was done, one entry per action ("off: done", "command
    // /x/kiln-off: exited with status 3"), and whether all of it worked.
    std::vector<std::string> done;
    bool ok = true;

    // "rule runaway on COM1 id 1 (pv 930, sv 900, out 0): notify done; off done"
    std::string text() const;
    // The same without what was done: "rule runaway on COM1 id 1 (pv 930, sv 900, out 0)"
    std::string subject() const;
};

// An event back from the text it was recorded as (a run's record keeps
// text()): its rule, controller, what was done and whether it worked, as
// far as the text tells; nothing when the text is not an event's.
std::optional<AlarmEvent> alarmEventFromText(double wall, const std::string& text);

struct ActionResult {
    bool ok = true;
    std::string text; // "done", "refused: ...", "no run to pause"
    // The host has no place for it (no data log open, no bridge, no run):
    // nothing was tried. A built-in rule's action is then none here and
    // is left out of its event; a rule's own says so.
    bool nowhere = false;
};

// What an ntfy, webhook or email action sends of an event: its subject, and the
// event as JSON (kind "alarm", or "test" for `q7 alarms test`).
Notice alarmNotice(const AlarmEvent& event, bool test = false);

// What the host does for each action: it decides what notify, publish,
// hold and log mean where it runs. The engine runs `command` and sends ntfy
// webhook and email itself (one implementation for every host) and hands the
// rest here; every event ends in record(): the run's record, the log, the
// output.
class AlarmActions {
  public:
    virtual ~AlarmActions() = default;
    virtual ActionResult perform(const AlarmEvent& event, const AlarmAction& action) = 0;
    virtual void record(const AlarmEvent& event) = 0;
};

class AlarmEngine {
  public:
    AlarmEngine(AlarmRules rules, AlarmActions& actions, CommandLimits limits = CommandLimits{},
                NotifyLimits notifyLimits = NotifyLimits{});

    const AlarmRules& rules() const { return rules_; }
    // Rules read again (a reload) in place of these: what it kept of a rule
    // whose conditions, time and actions stay the same goes on, so a rule
    // that fired does not fire again on the same edge; a rule that changed
    // or is new starts afresh. rules() stays the same object.
    void takeRules(AlarmRules rules);
    // One poll of one controller: the rules that fire, their actions done,
    // and the commands that ended since, judged. Each event is recorded.
    void observe(const AlarmObservation& o);
    // The commands that ended and the notifications given up, without an
    // observation (between polls).
    void reap(double wall);
    // Forgets what it kept of a controller (its line was closed): what it
    // shows once it answers again is news, as at the first poll.
    void forget(const std::string& line, int id);
    CommandRunner& commands() { return commands_; }
    Notifier& notifier() { return notifier_; }

  private:
    struct Key {
        std::string line;
        int id;
        bool operator<(const Key& k) const { return std::tie(line, id) < std::tie(k.line, k.id); }
    };
    // One rule on one controller.
    struct Track {
        std::optional<double> trueSince, falseSince; // scaled seconds
        bool armed = true;
        std::optional<Clock::TimePoint> lastFired;
        std::set<std::size_t> retry; // the actions (by place) its last firing did not carry out
    };
    // What the engine keeps of one controller between its polls.
    struct Watched {
        std::optional<Clock::TimePoint> lastAt;
        double scaled = 0; // seconds on the run's time scale since the first poll
        std::optional<int> segment;
        bool segmentChanged = false;
        std::optional<double> planRate;
        std::deque<std::pair<double, double>> pvs; // (scaled seconds, pv) on this ramp
        std::optional<double> reachedRate;
        bool targetReached = false; // on this full-rate segment
        std::map<std::string, Track> tracks;
    };

    void measure(Watched& c, const AlarmObservation& o);
    // Whether the condition holds now; nothing when this poll cannot tell.
    std::optional<bool> holds(const Condition& cond, const Watched& c,
                              const AlarmObservation& o) const;
    std::optional<double> value(Quantity q, const Watched& c, const AlarmObservation& o) const;
    void fire(const AlarmRule& rule, Watched& c, const AlarmObservation& o);
    // An action of a firing that did not work after all: recorded, and
    // tried again at the rule's next firing.
    void failedLater(const CommandRunner::Key& key, double wall, const std::string& what);

    AlarmRules rules_;
    AlarmActions& actions_;
    CommandRunner commands_;
    std::map<Key, Watched> controllers_;
    // Last: its thread ends before what it reports to goes.
    Notifier notifier_;
};

// The rate reached on a ramp is judged over this much of the plan's time
// (or all of the ramp so far), once the ramp has run kRateSettleSeconds.
inline constexpr double kRateWindowSeconds = 600;
inline constexpr double kRateSettleSeconds = 120;
// A rule fires at most once in this many seconds per controller.
inline constexpr double kRefireSeconds = 60;
