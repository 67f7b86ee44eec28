#pragma once
// One firing run as the process that holds its line hosts it: `q7 run`, the
// bridge and the panels each start, resume, tick and end a run through this,
// and differ only in where the operator's commands come from and where the
// run's events go (their own listeners). The host records the run in the
// store, claims it for this process, honours what another process asks of
// it through the store (`q7 run --stop`), tells the record's failure once,
// and has whatever keeps an ended run's figures (history/, which builds on
// this) do so as the run ends.
#include "runs/open_runs.h"
#include "runs/run_engine.h"
#include "runs/run_recorder.h"
#include "runs/run_store.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The store a run is recorded in (RunStore::Use::record as a rule): made,
// brought up or a damaged one set aside as a run needs; nothing, with why
// ("the run store ...; no run starts unrecorded"), when it cannot be used.
std::unique_ptr<RunStore> openRunStore(std::string* why, RunStore::Use use = RunStore::Use::record);

// The program a stored run ran, read again; nothing when it no longer reads,
// with why ("run 3's program no longer reads: line 4: ...") and the same
// without a word of the file, for a stranger.
std::optional<FiringProgram> storedProgram(const StoredRun& run, std::string* why,
                                           std::string* withoutText = nullptr);

// The unfinished run that holds a controller, and why this process may not
// take it over (drivenElsewhere: empty when no other process drives it).
struct RunHolding {
    StoredRun run;
    std::string driven;
    // "run 3 (Bisque) is unfinished on COM1"
    std::string unfinishedOn(const std::string& where) const;
};
// The one holding the controller at id on the device, if any.
StoreRead<RunHolding> runHolding(RunStore& store, const std::string& device, int id);

// A live change asked of the run made on its engine: empty once made,
// else why it was refused (nothing changed).
std::string makeChange(RunEngine& engine, const RunStore::ChangeAsked& change);

class RunHost {
  public:
    // Told as the run ends, once its end is recorded: history/ keeps its
    // figures there, so that no list reads its samples again.
    using Ended = std::function<void(RunStore&, long long run)>;
    explicit RunHost(RunStore& store, Ended ended = {});
    ~RunHost();
    RunHost(const RunHost&) = delete;
    RunHost& operator=(const RunHost&) = delete;

    // What the run is, before anything else: a new run of the program (text:
    // the file as it reads) on zones,
    void begin(FiringProgram program, std::string text, std::vector<EngineZone> zones,
               const RunOptions& options = {});
    // a stored run that goes on, in its own record, from the point of its
    // plan that matches PV now (zones: its zones' controllers, in order),
    void resume(FiringProgram program, const StoredRun& run, std::vector<EngineZone> zones,
                const RunOptions& options = {});
    // or a stored run no process drives any longer, to be ended here by endHere().
    void take(FiringProgram program, const StoredRun& run, std::vector<EngineZone> zones);

    // The host's own listeners (its output, the broker, the panel, the
    // rules), told after the record: what they are told is recorded.
    void listen(RunListener* listener);

    // Opens the run: its zones read and the program checked against them,
    // and the run in the store. Empty once it is open; else why, and nothing
    // was written ("...; nothing was written"): a reason of the zones
    // prefixed with who ("the run: ", "bisque.q7p: ") where given, or the
    // record's.
    std::string open(const std::string& who = "");
    // What a new run's start found that the person starting it must be told
    // (a calibration past its due date, a calibration book that does not
    // read); recorded in the run as well. Empty for a run that goes on.
    const std::vector<std::string>& warnings() const { return warnings_; }
    // A run taken (take()) is ended here the way its program says, into its
    // own record.
    void endHere();

    // What another process asked of the run through the store.
    enum class Asked { nothing, stop, proceed };
    // One poll: a stop asked for ends the run the way its program says, a
    // paused run asked to go on does, each mark asked for is recorded (and
    // told), each live change asked for is made or refused (the asker is
    // told which through the store), and the engine reads the zones and
    // writes what is due.
    Asked tick();
    // The record's first failure the first time it is asked after it
    // happened, else empty: the run goes on unrecorded, and is told once.
    std::string newProblem();
    // Once the run ended with a record that has a gap: what went wrong,
    // and where its end is kept ("...; its end is kept in runs.sqlite-ended,
    // and goes into the store once it can be written"). Empty while the
    // record has none.
    std::string unrecorded() const;

    // Records a mark at the moment at (wall seconds) and tells the listeners.
    void mark(double at, const std::string& text);
    // Records a field of the firing the same way ("job = A-17").
    void field(double at, const RunField& f);

    RunEngine& engine() { return *engine_; }
    const RunEngine& engine() const { return *engine_; }
    const RunRecorder& recorder() const { return *recorder_; }
    RunStore& store() { return store_; }
    std::optional<long long> runId() const { return recorder_->runId(); }
    bool ended() const { return engine_->ended(); }

  private:
    class EndWatch;
    bool continueAsked();
    // Records each zone's calibration in force, PV offset and SW filter.
    void stampCalibration();
    // Records the marks and fields another process asked for, at the
    // moments asked.
    void takeMarks();
    void note(double at, EventKind kind, const std::string& text);
    // Makes the live changes another process asked for, or refuses them.
    void takeChanges();

    RunStore& store_;
    Ended ended_;
    std::unique_ptr<RunEngine> engine_;
    std::unique_ptr<RunRecorder> recorder_;
    std::unique_ptr<EndWatch> endWatch_;
    std::vector<RunListener*> listeners_;
    bool toldProblem_ = false;
    // The request to go on last seen: one made before this host took the
    // run is not one for it.
    std::optional<double> continueSeen_;
    bool continueLooked_ = false;
    bool fresh_ = false; // begin(): a new run, stamped as it opens
    std::vector<std::string> warnings_;
};
