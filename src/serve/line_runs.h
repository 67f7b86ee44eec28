#pragma once
// The firing runs of one line of the bridge: started, paused, resumed and
// stopped from the broker (PREFIX/LINE/ID/run/VERB), one run at a time per
// controller, its zones on this line. Each run is the engine `q7 run`
// drives, ticked on the line's thread between polls through the line's own
// controllers, and recorded in runs.sqlite in the bridge's working folder
// as `q7 run` records it: the same store, events and samples, so
// `q7 run --status`, `q7 runs` and the panels read it as any other.
#include "alarms/alarm_engine.h"
#include "runs/run_record.h"
#include "serve/bridge_line.h"
#include "serve/broker_link.h"
#include "serve/messages.h"
#include "serve/serve_config.h"
#include "serve/topics.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class RunStore;
struct StoredRun;

// What a run command topic takes, as a refusal says it.
inline constexpr const char* kRunVerbs =
    "run takes start, stop, pause, resume, skip, extend, target, rate, mark or select";
// Whether name is one of them.
inline bool isRunVerb(std::string_view name) {
    for (const char* verb :
         {"start", "stop", "pause", "resume", "skip", "extend", "target", "rate", "mark", "select"})
        if (name == verb) return true;
    return false;
}

class LineRuns {
  public:
    using Log = std::function<void(const std::string&)>;
    LineRuns(const LineConfig& line, TopicBase base, BridgeLine& bridgeLine, BrokerLink& link,
             Log log);
    ~LineRuns();
    LineRuns(const LineRuns&) = delete;
    LineRuns& operator=(const LineRuns&) = delete;

    // run/start, run/stop, run/pause, run/resume, run/skip or run/extend
    // (payload "H:MM", "-H:MM" to shorten, or {"time": "H:MM"}) for the
    // controller at id: what became of it. run/select names the program a
    // run/start without a payload starts there. by: the web view's user who
    // asked, recorded in the run's events; empty for the broker.
    CommandResult command(int id, const std::string& verb, const std::string& payload,
                          const std::string& by = "");
    // As the line starts: an unfinished run on it that no process drives
    // any longer is resumed when the config says `resume = yes`, and only
    // told of otherwise.
    void resumeStored();
    // Between two polls: every run reads its zones and writes what is due.
    void tick();
    bool any() const { return !runs_.empty(); }
    // The run the controller is a zone of, as its state names it: the
    // run's topic name, its segment and how long its plan has to go.
    void place(int id, Reading& r) const;
    // The zones of the runs that ended since last asked, whose states
    // still name the run until they are polled again.
    std::vector<int> takeEnded();
    // What the alarm rules ask of the run the controller is a zone of:
    // pause it (hold), keep an event in its record (why not, else empty),
    // and the run's view of the controller in an observation.
    ActionResult hold(int id, const std::string& why);
    std::string recordAlarm(const AlarmEvent& e);
    void describe(int id, AlarmObservation& o);
    // Controllers a reload took off the line: whatever is kept of their
    // last run goes, so that an id added back is a controller seen afresh.
    void forgetIds(const std::vector<int>& ids);
    // The line as a reload left it (its ids, writes, resume): runs go on.
    void takeLine(const LineConfig& line) { line_ = line; }
    // The open run the controller is a zone of, by name; empty for none.
    std::string runOf(int id) const;
    // Every open run's name.
    std::vector<std::string> names() const;
    // A setting from the broker was made on the controller (change: what
    // it was, "SV set to 42.5"; empty when the controller did not take
    // it). A running run it is a zone of pauses, as a change by hand
    // pauses it, so the run never writes over the person; r names the run
    // and says where it stands.
    // from: who made it, as the pause tells it.
    void afterSetting(int id, const std::string& change, CommandResult& r,
                      const std::string& from = "from the broker");
    // The bridge stops: each run ends the way its program's `end` says, as
    // `q7 run` ends on SIGTERM, recorded as stopped.
    void finish();
    // The line's thread ends: the store's connection, made on this thread,
    // is closed on it (a database connection is used only by the thread
    // that made it, and this one is gone before the bridge is).
    void closeStore();

  private:
    struct Active;
    RunStore* store(std::string* why);
    std::string start(int id, const std::string& payload, std::string* name);
    // A stored run taken over by this line: resumed, or ended here (stop).
    std::string takeOver(const StoredRun& run, bool stop);
    std::string zonesOf(const StoredRun& run, std::vector<int>* ids) const;
    // The run's state on the broker, told after its record.
    void listenTo(Active& run);
    Active* holding(int id);
    // An event in the run's record: who did what to it.
    void note(Active& run, const std::string& text);
    std::optional<StoredRun> storedHolding(int id, std::string* why);
    std::string uniqueName(const std::string& programName) const;
    void forgetEnded();

    LineConfig line_;
    TopicBase base_;
    BridgeLine& bridgeLine_;
    BrokerLink& link_;
    Log log_;
    std::unique_ptr<RunStore> store_;
    std::vector<std::unique_ptr<Active>> runs_;
    std::vector<int> endedZones_; // not yet taken
    // Controllers whose last run ended: the rule `run ended` holds for
    // them until another run starts there.
    std::set<int> lastRunEnded_;
    // ... and how it ended, as their states tell it until then.
    std::map<int, RunOutcome> lastOutcome_;
    // The program run/select named for each controller.
    std::map<int, std::string> selected_;
};
