#pragma once
// Runs of a controller's own step program, kept in the run store beside the
// firing runs, with the table as it ran for their program text. No process
// drives such a run: the controller does. `q7 program run` and the step
// program panel's run switch open its record; a stop, the next start on the
// controller, or a panel that sees the program end closes it. A panel that
// follows the run adds PV and SV as its status poll reads them.
//
// A record that fails is told and the controller's run goes on: the kiln
// matters more than its record.
#include "runs/run_record.h"
#include "runs/run_store.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>

// Opens the record of a step program run on port's controller id, closing
// one the controller's earlier run left open. Its id, or nothing with why.
// The start event tells where the table came from when `origin` does.
std::optional<long long> openStepRun(RunStore& store, const std::string& port, int id,
                                     const std::string& table, double now, std::string* why,
                                     const std::string& origin = "");
// Closes the open record of a step program run on port's id, if any, with
// the outcome and the end event's text. False with why when the store failed.
bool closeStepRun(RunStore& store, const std::string& port, int id, double now, RunOutcome outcome,
                  const std::string& text, std::string* why);

// The store file's open record of a step program run, held while it goes.
class StepRunRecord {
  public:
    using Opened = std::variant<std::unique_ptr<StepRunRecord>, std::string>;
    // A run that starts now, with its table ("" when it is not known).
    static Opened begin(const std::string& storePath, const std::string& port, int id,
                        const std::string& table, double now, const std::string& origin = "");
    // The record a run started elsewhere left open on port's id; nothing
    // when there is none, or no store (it is not made for this).
    static Opened following(const std::string& storePath, const std::string& port, int id);
    ~StepRunRecord();

    long long id() const { return run_.id; }
    // What opening the store left to tell (it was damaged and kept aside).
    const std::string& storeNotice() const { return store_->notice(); }
    // PV and SV as a poll read them, in the controller's unit.
    bool sample(double now, std::optional<double> pv, std::optional<double> sv, std::string* why);
    // Once: the run is over, as outcome and text say.
    bool end(double now, RunOutcome outcome, const std::string& text, std::string* why);

  private:
    StepRunRecord(std::unique_ptr<RunStore> store, StoredRun run);
    std::unique_ptr<RunStore> store_;
    StoredRun run_;
};

// Closes what a stop ends on port's id in the store file; empty when it
// was recorded (or there is no store, and so nothing to close), else why.
// notice: what opening the store left to tell.
std::string recordStepStop(const std::string& storePath, const std::string& port, int id,
                           double now, const std::string& reason, std::string* notice);
