#pragma once
// `q7 run --status` and `q7 run --stop`: the open run on the command's line,
// read from the run store without touching the line (a q7 that drives the
// run holds it), and ended: by the process that drives it, asked through
// the store, or here when no process drives it any longer.
#include "cli/headless.h"
#include "history/run_text.h"
#include "runs/open_runs.h"
#include "runs/run_record.h"
#include "runs/run_store.h"

#include <memory>
#include <optional>
#include <string>

// Tells on stderr what the store said as it opened (a damaged one kept aside).
void tellNotice(const RunStore& store);

// The store in the working folder, when there is one: asking about runs
// makes none. Nothing, with *status set, when it cannot be used. A command
// that only reads opens it to read (RunStore::Use::read).
std::unique_ptr<RunStore> existingStore(int* status, RunStore::Use use);

// A read of the store that failed, told: the command's status.
int storeUnread(const std::string& why);

// What follows "no unfinished run on COM1" when there is more to say: a run
// open on another device that was COM1 where it ran, or that the last run
// on this device ended (and how). Empty, or "; ..." / ": ...".
std::string noRunText(RunStore& store, const std::string& port, const std::string& device);

// One line per event on stdout, as it happens.
class PrintedEvents final : public RunListener {
  public:
    void runUpdated(const RunUpdate& u) override;
};

int runStatus(const HeadlessOptions& options);
int runStop(const HeadlessOptions& options);
// Asks the q7 that drives the paused run to go on with it, as a rule's or
// the operator's pause left it, and waits until it has.
int runContinue(const HeadlessOptions& options);
// Asks the q7 that drives the run to record a mark, the text at this
// moment, among its events, and waits until it has.
int runMark(const HeadlessOptions& options, const std::string& text);
// Asks the same way for fields of the firing (`q7 run --field KEY=VALUE`).
int runFields(const HeadlessOptions& options, const std::vector<RunField>& fields);
// Asks the q7 that drives the run for a live change (skip the segment,
// extend the hold by seconds, negative to shorten, a new target or rate for
// the current segment), and waits until it has made it or refused it,
// telling which.
int runChange(const HeadlessOptions& options, const RunStore::ChangeAsked& change);
