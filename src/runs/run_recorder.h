#pragma once
// Records a run as it goes: the engine's listener for the run store, which
// records this process as the run's driver. A run resumed after its driver
// died goes on in the record it had, so that one firing is one run however
// often its process was killed: the gap is among its events, from the last
// sample the dead driver took to the resume. A run whose record fails goes
// on (the kiln matters more than its record); the failure is kept for
// whoever drives the run to tell. Its end is kept
// beside the store first, in a place taken as the run opens: a run that
// cannot have one does not open (problem() says why, and the host writes
// nothing).
#include "runs/run_store.h"

#include <optional>
#include <string>

class RunRecorder final : public RunListener {
  public:
    // resuming: a stored run whose driver is gone, gone on with in its own
    // record; in a new one that names it (resumedFrom) only where a zone's
    // controller shows another unit now than its samples were recorded in.
    explicit RunRecorder(RunStore& store, std::optional<StoredRun> resuming = std::nullopt)
        : store_(store), resuming_(std::move(resuming)) {}
    // Records into a run already in the store (one stopped for a process
    // that no longer runs), rather than a new one when the engine opens.
    void continueRun(long long id);
    void runOpened(const RunState& state) override;
    void runUpdated(const RunUpdate& update) override;

    std::optional<long long> runId() const { return id_; }
    // The first failure to record, empty while there was none.
    const std::string& problem() const { return problem_; }
    // The run ended and the store did not take its end: it is kept beside
    // the store alone until the store can be written.
    bool endKeptAside() const { return endAside_; }
    // A run gone on with in its own record: the event it recorded of the
    // driver it lost.
    const std::optional<RunEvent>& lostDriver() const { return lost_; }

  private:
    // The resumed run goes on in its record; problem() says why it cannot.
    void goOn(const RunState& state);
    void keepEnd(const RunUpdate& update);

    RunStore& store_;
    std::optional<StoredRun> resuming_;
    std::optional<long long> id_;
    std::string problem_;
    std::optional<long> endSlot_; // the run's place beside the store
    bool endKept_ = false, endAside_ = false;
    std::optional<RunEvent> lost_;
};
