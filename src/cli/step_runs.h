#pragma once
// Runs of a controller's own step program, kept in the run store beside the
// firing runs, with the table as it ran for their program text. No process
// follows such a run: `q7 program run` opens its record and `q7 program
// stop`, or the next `q7 program run` on the controller, closes it.
#include <optional>
#include <string>

class RunStore;

// Opens the record of a step program run on port's controller id, closing
// one the controller's earlier run left open. Its id, or nothing with why.
std::optional<long long> openStepRun(RunStore& store, const std::string& port, int id,
                                     const std::string& table, double now, std::string* why);
// Closes the open record of a step program run on port's id, if any, as
// stopped for the reason given. False with why when the store failed.
bool closeStepRun(RunStore& store, const std::string& port, int id, double now,
                  const std::string& reason, std::string* why);
