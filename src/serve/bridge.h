#pragma once
// The bridge between one line and the broker. On its one thread it polls
// each controller in turn, once per interval, publishes what changed, and
// runs the commands that came in between two requests: never two things on
// the line at once, and commands and polls take turns, so a controller's
// poll waits at most one command.
//
// A controller is online while its polls get good replies; one that misses
// two polls in a row is offline, with what came back instead. When no
// controller on the line has given a good reply for an interval and a
// time-out, the line is dead and every controller on it is offline at once.
#include "base/clock.h"
#include "serve/bridge_line.h"
#include "serve/broker_link.h"
#include "serve/discovery.h"
#include "serve/inbox.h"
#include "serve/line_alarms.h"
#include "serve/line_modbus.h"
#include "serve/line_runs.h"
#include "serve/serve_config.h"
#include "serve/topics.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

// What a reload changes of a line in place.
struct LineChange {
    LineConfig line; // its ids, interval, writes and resume as the config has them now
    bool homeAssistant = false;
    std::optional<AlarmRules> rules = {}; // when they changed
    std::optional<NotifySecrets> secrets = {}; // the notifications', when they changed
};

class Bridge {
  public:
    using Log = std::function<void(const std::string&)>;
    // rules: the alarm rules, checked against the line's writes.
    Bridge(const ServeConfig& config, std::size_t line, BridgeLine& bridgeLine, BrokerLink& link,
           Log log, AlarmRules rules);
    // Until the inbox is stopped; then publishes every controller offline.
    void run(Inbox& inbox);
    // Before run(), when this is the line the Modbus TCP server serves:
    // its requests take turns with the bridge's own commands.
    void serveModbus(ModbusDesk& desk, const ModbusConfig& config);
    // Told of every poll made, answered or not, on the line thread.
    void onPolled(std::function<void(int id, bool answered)> polled) {
        polled_ = std::move(polled);
    }
    // Told of every good poll, on the line thread, with what the state
    // publishes of it at the wall-clock time it was read; the unit and
    // decimal point, read only now and then, as last read.
    using ReadingSink =
        std::function<void(int id, const Reading& r, std::chrono::system_clock::time_point when)>;
    void onReading(ReadingSink sink) { reading_ = std::move(sink); }

    // Any thread: what a reload changes of the line without closing its
    // port, taken up by run() between two requests; the thread that offers
    // it wakes the inbox. Its runs go on: an id a run drives stays on the
    // line, and so do the writes it needs, each told in the log.
    void offer(LineChange change);
    // The line thread's part.
    void takeChange(LineChange change);
    // Controllers that were added are polled from now on, those removed
    // are forgotten.
    void changeIds(const std::vector<int>& ids);
    // Any thread: the line's settings as the line thread last took them.
    LineConfig applied() const;
    // Any thread, before a reload closes the line's port: true when no run
    // is open on the line nor being started, and then none starts any more;
    // otherwise false, with the open runs' names.
    bool closeUnlessDriving(std::vector<std::string>* open);
    // Any thread: the line is not closed after all; runs start again.
    void keepOpen();
    // Clears the retained topics of controllers that are gone: state,
    // available, parameters and the discovery configs. With line, the
    // line's status too. After run(), or on the line thread.
    void forget(const std::vector<int>& ids, bool line = false);

    // What the broker did or said.
    void handle(const BrokerEvent& e);
    // Commands the inboxes dropped: each topic gets its result.
    void answerDropped(const Inbox::Dropped& dropped);
    // One turn on the line: a command, or a poll, or the start of a cycle;
    // when nothing is due, the time something is.
    std::optional<Clock::TimePoint> turn();
    // Every controller offline: the bridge ends.
    void finish();

  private:
    // What the broker was last given of one controller.
    struct Shown {
        std::optional<bool> available;
        std::string why;    // why it is offline
        int missed = 0;     // polls in a row without a good reply
        std::string values; // the state without its time
        std::optional<Clock::TimePoint> stateAt;
        bool parametersRead = false;
        std::optional<Clock::TimePoint> parametersTried;
        DiscoveryFacts facts;
        bool discoveryShown = false; // its discovery went out once
        std::optional<int> decimals;
    };
    // A setting, or a run command when run is named, or a parameter read.
    using Reply = std::function<void(const std::string&)>;
    struct Pending {
        int id;
        std::optional<Setting> what;
        double value = 0;
        std::string run; // "start", "stop", "pause", "resume", "select"
        std::string payload;
        Reply reply = {};    // a web view's command is answered there too
        std::string by = {}; // and names its user
    };

    void command(const BrokerEvent& e);
    void refuseWaiting(const std::function<bool(const Pending&)>& which, const std::string& why);
    void askParameters(int id);
    void runCommand(const Pending& p);
    void runRunCommand(const Pending& p);
    // The runs open, for another thread to see, after a turn that may have
    // changed them.
    void noteRuns();
    void takeWrites();
    void takeHomeAssistant(bool on);
    void pollEnded(std::optional<int> also);
    void serveParameters(int id, bool asked);
    void poll(int id);
    void startCycle(Clock::TimePoint now);
    void setAvailable(int id, bool available, const std::string& why);
    void lineMissed(int id, Clock::TimePoint now, const std::string& why);
    void publishStatus();
    void publishRetained(const std::string& topic, const std::string& payload);
    void publishDiscovery(int id);
    // What the controller's device offers of firing runs now.
    RunOffer runOffer(int id) const;
    void readPrograms();
    void reject(int id, const std::string& command, std::optional<double> value,
                const std::string& reason, const Reply& reply = {});
    std::string who(int id) const;
    Clock::TimePoint::duration cycleGuess() const;

    LineConfig lineConfig_; // changed in place by a reload
    bool homeAssistant_;    // [broker] homeassistant, changed in place by a reload
    Clock::TimePoint::duration interval_;
    TopicBase base_;
    BridgeLine& line_;
    BrokerLink& link_;
    Log log_;
    std::map<int, Shown> shown_;
    std::map<std::string, std::string> discovery_; // each discovery topic's latest payload
    std::vector<std::string> programs_; // the library's, read at the start and at a reload
    std::string webUrl_;                // the web view's, for the devices; empty without one
    std::deque<Pending> commands_;
    std::deque<Pending> runCommands_; // taken before commands_
    std::unique_ptr<LineRuns> runs_;
    std::unique_ptr<LineAlarms> alarms_;
    std::unique_ptr<LineModbus> modbus_;
    bool modbusLast_ = false; // the last command turn was another master's request
    bool runsDue_ = false;     // the firing runs tick once per cycle, after its polls
    bool commandLast_ = false; // the last turn ran a command: a poll comes next
    std::size_t next_;         // the next id to poll in this cycle
    Clock::TimePoint nextCycle_;
    std::optional<Clock::TimePoint> cycleStart_;
    std::optional<Clock::TimePoint::duration> cycle_; // start to start, as last measured
    double toldCycle_ = 0;                            // seconds, as last told; 0 not yet
    Clock::TimePoint lastGood_;                       // the line's last good reply, or the start
    std::deque<double> cycles_;                       // the last few cycles measured, in seconds
    std::optional<int> lastGoodId_;
    // Polled next, out of turn, to tell a dead line from a silent controller.
    std::optional<int> check_;
    bool lineDead_ = false;
    std::string status_; // as last published
    std::function<void(int, bool)> polled_;
    ReadingSink reading_;
    std::mutex offeredMutex_;
    std::optional<LineChange> offered_;
    // What other threads see of the line; under its own lock.
    mutable std::mutex seenMutex_;
    LineConfig seenConfig_;
    std::vector<std::string> seenRuns_;
    bool runChanging_ = false; // a run command is being carried out
    bool closing_ = false;     // a reload closes the line: no run starts
};
