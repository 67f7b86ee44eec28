#pragma once
// The runs a line holds, as the run store keeps them: a port names its
// line ("COM3"), and an unfinished run with a zone on it holds the line's
// controllers until it is resumed or stopped. One reading for `q7 run`, its
// --status and --stop, and the panels.
#include "runs/run_store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// "COM3" for the run store and messages.
std::string portName(int port);
// The COM number of a port as the store names it; nothing for another name.
std::optional<int> portNumbered(std::string_view name);

// Every unfinished run with a zone on the port, oldest first. A store that
// does not read is never taken for one without runs: whoever asks refuses
// what it was about to do.
StoreRead<std::vector<StoredRun>> openRunsOn(RunStore& store, const std::string& port);
// The unfinished firing run with a zone on the port, if any: a line holds
// one at a time.
StoreRead<StoredRun> openRunOn(RunStore& store, const std::string& port);
// Why this process may not take the run over (another q7 that still runs
// drives it, or who drives it does not read); empty when it may.
std::string drivenElsewhere(RunStore& store, const StoredRun& run);
