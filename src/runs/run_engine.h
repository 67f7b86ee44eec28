#pragma once
// One firing run: the program, its zones, the plan clock, what was last
// written, and what ends it. Whoever holds the line drives it (the panels'
// control thread, `q7 run`, the bridge): open() once, then tick() at every
// poll, and pause(), proceed() or stop() as the operator asks. It never
// waits by itself; time is the line clock's (base/clock.h), so its tests
// run on a virtual one. Everything it does goes out to its listeners.
//
// How it drives the zones:
// - Each zone gets the planned SV plus its offset, in its own unit, through
//   the checked write. A controller with a ramp of its own (model D) is given
//   a ramp segment as one ramp-rate write and one SV write, when its ramp
//   rate register holds the segment's rate within kRampRateTolerance;
//   otherwise the SV follows the plan in steps of one display digit, at most
//   once every `min_write` seconds (a controller may keep its SV in
//   non-volatile memory, so writes are kept few). A segment's target is
//   written as it ends, at once.
// - Hold-back (when `holdback` is not 0): while a zone's PV lags the plan
//   by more than `holdback` (below it going up, above it cooling), or a zone
//   does not answer, the plan clock waits, and the zones that ramp by
//   themselves are held where the plan stands.
// - A zone whose SV or mode is changed by hand pauses the run: it writes
//   nothing more until proceed(), and never fights the operator.
// - However the run ends, each ramp rate it changed is written back, then
//   the program's `end` is done.
#include "base/clock.h"
#include "runs/plan.h"
#include "runs/run_record.h"
#include "runs/write_estimate.h"
#include "runs/zone.h"
#include "runs/zone_driver.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct EngineZone {
    std::unique_ptr<Zone> zone;
    std::string port;
    int id = 0;
    double offset = 0; // degrees in the program's unit
};

// Plan seconds: how long every zone stays inside the hold-back band before
// the plan goes on, when they are not yet inside half of it; and how long the
// plan goes on without waiting again before the wait is over.
inline constexpr double kHoldBackSettleSeconds = 60;

struct RunOptions {
    double timeScale = 1;          // the plan clock runs this many times faster
    std::optional<double> startAt; // wall-clock seconds of a delayed start
    std::optional<double> wallNow; // the wall clock now; the system's when not given
};

// How long a run's plan has to go, in seconds on the wall: the plan clock
// runs timeScale times faster, so under a time scale the plan's seconds
// left are fewer on the wall. Every host and reader tells this one figure.
double runSecondsToGo(const Plan& plan, const RunState& state);

class RunEngine {
  public:
    RunEngine(FiringProgram program, std::string programText, std::vector<EngineZone> zones,
              RunOptions options = {});
    // A run read back from the store, to go on from the point of its plan
    // that matches PV now (a paused one too: going on is the operator's
    // choice). zones are stored.zones' controllers, in order; the ramp
    // rates to write back at the end are the stored ones.
    RunEngine(FiringProgram program, const RunState& stored, std::vector<EngineZone> zones,
              RunOptions options = {});
    ~RunEngine();
    RunEngine(const RunEngine&) = delete;
    RunEngine& operator=(const RunEngine&) = delete;

    void addListener(RunListener* listener) { listeners_.push_back(listener); }

    // Reads what the run needs of each zone and checks the program against
    // it: every target within the zone's Lo/Hi, each controller Off or On.
    // Empty once the run is open (listeners told); else why it cannot start,
    // with nothing written.
    std::string open();
    // One poll: reads the zones, moves the plan clock, writes what is due.
    void tick();
    // The operator's: a pause writes nothing; proceed() goes on from where
    // the clock stopped; stop() ends the run the way the program's `end` says.
    void pause(const std::string& why);
    void proceed();
    void stop();
    // Live changes to the firing, asked by `who` ("q7 run, pid 4711"), who
    // the event that records the change names. Each is empty once done,
    // else why it cannot apply, and nothing changed.
    // skipSegment(): the current segment ends now: a ramp at once with its
    // target (written then, as a segment's end is), a hold now; the run
    // goes on with the next segment (in a repeat, the next of its cycle,
    // or from its last one the first of the next cycle).
    std::string skipSegment(const std::string& who);
    // extendHold(): the current segment's hold is longer by `seconds` (or
    // shorter, negative) for this run only; never shorter than what it has
    // already held, nor longer than a program line takes. In a repeat, the
    // cycles after this one hold as long.
    std::string extendHold(double seconds, const std::string& who);
    // changeTarget(): the current segment ends at `target` (the program's
    // unit) for this run only: a ramp goes on to it from where the plan is
    // at its rate, a hold holds there from now on for what is left of it.
    // changeRate(): the current ramp goes on at `rate` per hour (nothing:
    // full) from where the plan is; a hold has none. Either is checked as
    // the program's line would be (the file reader's words, max_temp, each
    // zone's Lo/Hi) and as the way the ramp goes from here. In a repeat,
    // the cycles after this one take the change too.
    std::string changeTarget(double target, const std::string& who);
    std::string changeRate(std::optional<double> rate, const std::string& who);
    // A stored run whose process no longer runs, ended here the way its
    // program's `end` says and recorded as stopped, in place of open() and
    // stop(): each zone is taken as it stands now, whatever its mode, and
    // one that does not answer is still tried. Listeners are told of the
    // end alone (a recorder goes on with the stored run: continueRun()).
    void stopStored();

    const RunState& state() const { return state_; }
    const FiringProgram& program() const { return program_; }
    const Plan& plan() const { return plan_; }
    // The step of the program's run order the plan is at (run_order.h):
    // its segment and, in a repeat, its cycle.
    int currentStep() const;
    // Its min_write (the program's, or chosen for it) and the set value
    // writes the firing takes to each controller, as the run opened: on the
    // controller with the finest display digit.
    const FiringWrites& writes() const { return writes_; }
    bool ended() const { return state_.phase == RunPhase::ended; }
    bool holdingBack() const { return waiting_; }
    // The hold-back now: how long this wait has lasted (plan seconds), the
    // zone it waits for, its PV and where the plan has it (program's unit).
    struct HoldBack {
        double seconds = 0;
        std::size_t zone = 0;
        std::optional<double> pv;
        double planned = 0;
    };
    std::optional<HoldBack> holdBack() const;
    // The zone that failed to reach its temperature in time (max_holdback)
    // in this segment, or as the run ended; nothing while none did.
    std::optional<std::size_t> unreached() const { return unreached_; }
    // The zone the plan waits for while it holds back; nothing when it does not.
    std::optional<int> holdingBackFor() const { return waiting_ ? waitingFor_ : std::nullopt; }
    // Seconds on the wall until the plan ends (runSecondsToGo()).
    double secondsToGo() const;
    // The plan's set value now, in the program's unit.
    double plannedSv() const;
    // What open() read of zone i: its unit and digits, for showing its values.
    const ZoneFacts& zoneFacts(std::size_t i) const { return zones_[i].facts; }
    // Zone i itself, for what the host reads of it beside the run (the
    // corrections stamped at the start), between two polls.
    Zone& zone(std::size_t i) { return zones_[i].zone(); }
    std::size_t zoneCount() const { return zones_.size(); }
    // What the last poll read of zone i (its samples' values).
    const ZoneReading& zoneReading(std::size_t i) const { return zones_[i].reading; }
    // Where the plan has zone i now, in its unit; nothing before the plan
    // began and once the run ended.
    std::optional<double> zonePlanSv(std::size_t i) const;

  private:
    void planWrites();
    double wallNow() const;
    void begin(RunUpdate& u);
    // Drives the zones from the plan's point now: at the start, and after a pause.
    void driveFromHere(RunUpdate& u);
    void readZones(RunUpdate& u);
    bool operatorChanged(RunUpdate& u);
    void advance(double dt, RunUpdate& u);
    // What is due once the plan clock moved on from pt: the ended segment's
    // target, the segments begun, the run's end.
    void crossSegments(const PlanPoint& pt, RunUpdate& u);
    // Why a live change cannot apply now; empty when it can.
    std::string notChangeable(bool whilePaused) const;
    // The program of this run changed: its plan laid out again, its text
    // as the record keeps it.
    void replan();
    // The current segment as `changed` from the plan's point now on: why
    // not (nothing changed), else empty, the change made, written and
    // recorded as `told` followed by the time to go.
    std::string reshapeSegment(const ProgramSegment& changed, const std::string& told);
    // The hold-back at the plan's point pt: true while the plan waits.
    bool holdBack(double dt, const PlanPoint& pt, RunUpdate& u);
    // Ends a wait that is open (told as `how`, or how long it held).
    void closeHoldBack(RunUpdate& u, const PlanPoint& pt, const char* how = nullptr);
    // How far zone i is behind the plan the way it goes; nothing when silent.
    std::optional<double> lag(std::size_t i, const PlanPoint& pt) const;
    std::string lagText(std::size_t i, const PlanPoint& pt) const;
    // A PV past max_temp (or the Hi limit) ends the run, the controllers Off.
    bool overTemperature(RunUpdate& u);
    void enterSegment();
    void holdZonesBack(bool hold);
    void follow();
    // Writes what each zone should hold; the first refusal, else empty.
    // last: the run ends, and each zone is tried whether it answered or not.
    std::string sync(RunUpdate& u, bool last);
    // off: the controllers are switched Off, whatever the program's end says.
    void end(RunOutcome outcome, const std::string& why, RunUpdate& u, bool off = false);
    void sample(RunUpdate& u);
    void event(RunUpdate& u, EventKind kind, const std::string& text,
               std::optional<int> zone = std::nullopt);
    void flush(RunUpdate& u);
    std::string zoneName(std::size_t i) const;
    double kilnPv(int segment) const;

    FiringProgram program_;
    RunOptions options_;
    RunState state_;
    Plan plan_;
    std::vector<ZoneDriver> zones_;
    std::vector<RunListener*> listeners_;
    bool opened_ = false;
    bool resuming_ = false;
    std::optional<RunState> stored_; // a run read back from the store, as it was
    bool waiting_ = false;           // held back
    std::optional<int> waitingFor_;  // the zone last named as held back for
    double waitedInSegment_ = 0;
    // A wait is open from its start until the plan has gone on for
    // kHoldBackSettleSeconds (episode_), and holds the plan while waiting_.
    bool episode_ = false;
    double goneOnFor_ = 0; // plan seconds since it went on, in an open wait
    double goneOnAt_ = 0;  // wall clock when it went on
    double heldNow_ = 0;   // this wait so far, plan seconds
    double insideFor_ = 0; // every zone inside the band so long, while waiting
    // The zone max_holdback was passed for in this segment.
    std::optional<std::size_t> unreached_;
    std::vector<int> over_; // readings in a row above the limit, by zone
    FiringWrites writes_;
    double runSeconds_ = 0; // on the plan's time scale, for min_write
    Clock::TimePoint steadyBase_;
    double wallBase_ = 0;
    double lastTick_ = 0;
};
