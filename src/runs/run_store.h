#pragma once
// The run store: every run with its program as it ran, its zones, its state
// (all a resumed run needs), the samples of each poll and its events, in one
// SQLite file, runs.sqlite, beside DftCom.prm. It is shared: the panels,
// `q7 run` and the bridge may each have it open, so it runs in WAL mode and
// waits a while for another writer. The schema has a version (SQLite's
// user_version): an older store is brought up to this one's, and a store
// of a newer program is refused and never changed. Every store is checked
// as it opens (SQLite's quick_check). A damaged store (its bytes no
// database, a page of a table that no longer reads, a version number no
// store has) is kept aside under a name of its own, never written, and a
// new store begins in its place; only what records runs does that.
// Listings, reports, exports and the web view open it to read: they never
// make, bring up, repair or set aside a store, and read one they may not
// write.
//
// A run's end is kept first beside the store (run_end_journal.h), so that a
// run whose end the store could not take on a full disk is never taken for
// unfinished: every reading of the store honours it, and the next process
// that writes the store puts the end there.
//
// Each poll is one transaction, so a process that is killed loses nothing
// it had recorded. A transaction that changes the run's state or holds
// events is also synced to the disk as it commits, so a power cut does not
// lose it either; samples alone are not, which keeps a long run cheap. The
// ramp rates a run writes back are on the disk before its first write.
#include "runs/run_driver.h"
#include "runs/run_record.h"
#include "runs/segment_figures.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

inline constexpr const char* kRunStoreFile = "runs.sqlite";
// The store this process keeps its runs in: kRunStoreFile in the working
// folder, or another that useRunStore() named once at the start, before any
// thread reads it (a demo's, so that its firings never reach a real store).
const std::string& runStorePath();
void useRunStore(std::string path);
inline constexpr int kRunStoreVersion = 11;
// The oldest version a reader reads as it is, without bringing it up.
inline constexpr int kRunStoreOldestRead = 4;

// Why a read of the store failed: "runs.sqlite is damaged (database disk
// image is malformed)".
struct StoreFailure {
    std::string why;
};

// What a read of the store gives: what it holds; for a lookup, nothing
// when there is no such thing; or why it could not be read. A read that
// failed is never "nothing": its value is reached only through * and ->,
// after the reader has asked failed().
template <class T> class [[nodiscard]] StoreRead {
  public:
    StoreRead(T value) : value_(std::move(value)) {}
    StoreRead(std::nullopt_t) {}
    StoreRead(StoreFailure f) : why_(std::move(f.why)), failed_(true) {}

    bool failed() const { return failed_; }
    // Why it failed; empty when it did not.
    const std::string& why() const { return why_; }
    StoreFailure failure() const { return {why_}; }
    // There is a value: the read did not fail and found what it looked for.
    bool found() const { return value_.has_value(); }
    T& operator*() & { return value_.value(); }
    const T& operator*() const& { return value_.value(); }
    // Taken out of a read that goes: `for (x : *store.events(id))` holds it.
    T operator*() && { return std::move(value_.value()); }
    T* operator->() { return &value_.value(); }
    const T* operator->() const { return &value_.value(); }

  private:
    std::optional<T> value_;
    std::string why_;
    bool failed_ = false;
};

struct StoredRun {
    long long id = 0;
    std::optional<long long> resumedFrom; // the run this one went on from
    RunState state;
};

// The figures of an ended run, kept so that a list of runs need not read
// every run's samples again; once its samples are pruned, they are all
// that is left of them. The store keeps them as given: history/ computes
// them, and says with its version which computation made them.
struct KeptFigures {
    double kept = 0; // when, wall-clock seconds
    bool samplesPruned = false;
    int version = 0;
    std::optional<double> lengthSeconds;
    std::vector<SegmentFigures> segments;
};

// What recomputing a run's hash chain (run_chain.h) found.
struct ChainCheck {
    enum class Verdict {
        intact,    // every link follows, and the seal is the last
        open,      // every link follows; the run has not ended, so it has no seal yet
        broken,    // at place, the first link that no longer follows
        unchained, // the store is of a version that kept no chains
    };
    Verdict verdict = Verdict::intact;
    std::string place; // "event 12", "the samples", "the end"
    std::optional<double> time;
    std::string seal; // intact: the seal, in hex
    // The chain was made as the store was brought up to a version that
    // keeps chains, not as the run was recorded.
    bool sealedAtUpgrade = false;
    bool pruned = false; // its samples were pruned; the prune is a link
    std::size_t links = 0;
};

struct RunSeal {
    std::string hex;
    bool atUpgrade = false; // sealed as the store was brought up
};

class RunStore {
  public:
    enum class Use {
        // A run is recorded in it: made where there is none, brought up to
        // this version, and a damaged one is set aside for a new one (the
        // runs from now on matter more than a file that no longer reads).
        record,
        // What is in it changes (pruning, ending a run): brought up, but a
        // damaged one is refused and left as it is.
        change,
        // Read only: nothing in the file, nor beside it, is made, changed,
        // brought up or set aside. A store of an older version it can read
        // (kRunStoreOldestRead) is read as it is.
        read,
    };
    // Opens the store at path. Why it cannot be used, else the store.
    static std::variant<std::unique_ptr<RunStore>, std::string> open(const std::string& path,
                                                                     Use use = Use::record);
    ~RunStore();
    RunStore(const RunStore&) = delete;
    RunStore& operator=(const RunStore&) = delete;

    const std::string& path() const;
    // What the one who opened it must tell: the store was damaged, is kept
    // aside under another name and a new one began. Empty as a rule.
    const std::string& notice() const;
    // Opened to read a store that no process had open and this one may not
    // write beside: it is read as it stood then, without SQLite's shared
    // journal (which would have to be made beside it), so what another
    // process records later is not seen. A reader that stays opens it again
    // for each answer.
    bool snapshot() const;

    // A new run as it opens, with its zones, each with the device behind its
    // port (run_device.h); its id. With resumedFrom, that run ends as
    // resumed, in the same transaction. A firing run is refused (nothing,
    // with why) when another unfinished one holds one of its controllers:
    // the same id on the same device, whatever its port was called.
    std::optional<long long> create(const RunState& state, std::optional<long long> resumedFrom,
                                    std::string* why);
    // A run whose driver is gone goes on in its own record, under the same
    // id: this process drives it from now on, its zones take the names
    // their ports have now (zones, in order) and the unit their controllers
    // show where none was recorded, and lost (when the driver was
    // lost, at its last sample) is among its events. All in one transaction,
    // refused (false, with why) when the run ended meanwhile or a q7 that
    // still runs drives it: two that resume it at once cannot both have it.
    bool resumeRun(long long id, const std::vector<ZoneState>& zones, const RunEvent& lost,
                   std::string* why);
    // A poll's samples and events and the state now.
    bool record(long long id, const RunUpdate& update, std::string* why);
    // An event from outside the engine (an alarm rule's).
    bool addEvent(long long id, const RunEvent& event, std::string* why);

    // This process drives the run from now on: it began it, or took it over.
    bool drive(long long id, std::string* why);
    // Every read below gives why it failed where it did (StoreRead).

    // The process that drives it, as last recorded; nothing when none is.
    StoreRead<RunDriver> driver(long long id);
    // Asks whoever drives the run to stop it; it looks at every poll.
    bool requestStop(long long id, double now, std::string* why);
    StoreRead<bool> stopRequested(long long id);
    // Asks whoever drives the paused run to go on with it; the driver tells
    // one request from the next by its time (not found: none was made).
    bool requestContinue(long long id, double now, std::string* why);
    StoreRead<double> continueRequested(long long id);
    // Asks whoever drives the run to record a mark (`q7 run --mark TEXT`):
    // the request's number, nothing with why when it was not made.
    struct MarkAsked {
        long long request = 0;
        double asked = 0; // when it was asked: the mark's moment
        std::string text;
        bool field = false; // text is a field's, "KEY = VALUE", not a mark's
    };
    std::optional<long long> requestMark(long long id, double now, const std::string& text,
                                         std::string* why);
    // Asks the same way for a field of the firing to be recorded (`q7 run
    // --field KEY=VALUE` alone), taken and told taken as a mark is.
    std::optional<long long> requestField(long long id, double now, const RunField& field,
                                          std::string* why);
    // The marks asked of the run and not yet taken, oldest first; and one
    // taken by the driver once it recorded it (run_store_marks.cpp).
    StoreRead<std::vector<MarkAsked>> marksAsked(long long id);
    bool takeMark(long long request, double now, std::string* why);
    StoreRead<bool> markTaken(long long request);
    // Asks whoever drives the run for a live change to the firing (`q7 run
    // --skip`, `--extend H:MM`, `--target`, `--rate`, the bridge's
    // run/skip): the request's number, nothing with why when it was not
    // made. who names the asker in the run's events ("q7 run, pid 4711").
    enum class Change { skip, extend, target, rate };
    struct ChangeAsked {
        long long request = 0;
        double asked = 0;
        Change change = Change::skip;
        double seconds = 0; // extend: by how long, negative to shorten
        std::string who;
        // target: degrees in the program's unit; rate: per hour, nothing
        // for full.
        std::optional<double> value = std::nullopt;
    };
    std::optional<long long> requestChange(long long id, double now, const ChangeAsked& change,
                                           std::string* why);
    // The changes asked and not yet taken, oldest first; one taken by the
    // driver, done or refused (refused: why); and whether it was, and why not.
    StoreRead<std::vector<ChangeAsked>> changesAsked(long long id);
    bool takeChange(long long request, double now, const std::string& refused, std::string* why);
    struct ChangeTaken {
        bool taken = false;
        std::string refused; // empty once done
    };
    StoreRead<ChangeTaken> changeTaken(long long request);

    // Runs that have not ended, oldest first.
    StoreRead<std::vector<long long>> unfinished();
    // Every run, newest first.
    StoreRead<std::vector<long long>> runIds();
    // Nothing when there is no such run.
    StoreRead<StoredRun> load(long long id);
    StoreRead<std::vector<RunSample>> samples(long long id);
    // When the run's last sample was taken; nothing when it has none.
    StoreRead<double> lastSampleTime(long long id);
    // The same samples in the same order, each handed to `each` as it is
    // read, for a reader that keeps less than all of them: a day's run as
    // one vector is tens of megabytes. `expect` hears how many there are
    // before the first. How many were handed; a read that fails part-way
    // fails, whatever was handed before.
    StoreRead<std::size_t> eachSample(long long id, const std::function<void(std::size_t)>& expect,
                                      const std::function<void(const RunSample&)>& each);
    // The last sample of each zone, by zone, without reading the others.
    StoreRead<std::vector<RunSample>> lastSamples(long long id);
    StoreRead<std::vector<RunEvent>> events(long long id);
    // The last limit events of one kind over every run, newest first.
    StoreRead<std::vector<RunEvent>> recentEvents(EventKind kind, int limit);

    // Keeps an ended run's figures beside its samples, in place of any kept
    // before. A run that has not ended has none to keep: false, with why.
    bool keepFigures(long long id, const KeptFigures& kept, std::string* why);
    // Deletes an ended run's samples and keeps its figures in their place,
    // in one transaction. A run that has not ended is never pruned: false,
    // with why, and nothing changes. Its events stay.
    bool pruneSamples(long long id, const KeptFigures& kept, std::string* why);
    // The figures kept of a run, pruned or not; nothing while none are.
    StoreRead<KeptFigures> keptFigures(long long id);

    // The run's chain recomputed from what the store holds now; nothing
    // when there is no such run. Changes nothing.
    StoreRead<ChainCheck> checkChain(long long id);
    // The seal an ended run was given; nothing while it has none.
    StoreRead<RunSeal> seal(long long id);

    // Where the ends the store could not take are kept, beside it.
    std::string endJournalPath() const;
    // Puts into the store the ends kept beside it that it should hold by
    // now. Each process that writes the store does, as it opens it and
    // before each new run.
    void settleEnds();

    struct Impl;

  private:
    explicit RunStore(std::unique_ptr<Impl> impl);
    static std::variant<std::unique_ptr<RunStore>, std::string> openToRead(const std::string& path);
    std::unique_ptr<Impl> impl_;
};
