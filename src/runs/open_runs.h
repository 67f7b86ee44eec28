#pragma once
// The runs a device holds, as the run store keeps them: an unfinished run
// with a zone on a device holds that controller until it is resumed or
// stopped, whatever the device is called (a COM number, its path, a link to
// it) and whoever drives it (`q7 run`, the bridge, the panels). One reading
// for `q7 run`, its --status and --stop, the bridge and the panels.
#include "runs/run_device.h"
#include "runs/run_store.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// "COM3" for the run store and messages.
std::string portName(int port);
// The COM number of a port as the store names it; nothing for another name.
std::optional<int> portNumbered(std::string_view name);

// Every unfinished run with a zone on the device (as runDevice gives it),
// oldest first. A store that does not read is never taken for one without
// runs: whoever asks refuses what it was about to do.
StoreRead<std::vector<StoredRun>> openRunsOn(RunStore& store, const std::string& device);
// The unfinished firing run with a zone on the device, if any: a line holds
// one at a time.
StoreRead<StoredRun> openRunOn(RunStore& store, const std::string& device);
// The unfinished firing run that holds the controller at id on the device.
StoreRead<StoredRun> openRunHolding(RunStore& store, const std::string& device, int id);
// Unfinished firing runs with a zone named port that is on another device
// than this one: what this port was called where they ran, but another kiln.
StoreRead<std::vector<StoredRun>> openRunsNamedElsewhere(RunStore& store, const std::string& port,
                                                         const std::string& device);
// "run 3 (Bisque) is open on COM1 as /dev/ttyUSB1", for each of those runs.
std::string elsewhereText(const std::vector<StoredRun>& runs, const std::string& port);
// The newest run with a zone on the device, ended or not, among the latest.
StoreRead<StoredRun> lastRunOn(RunStore& store, const std::string& device);
// Why this process may not take the run over (another q7 that still runs
// drives it, or who drives it does not read); empty when it may.
std::string drivenElsewhere(RunStore& store, const StoredRun& run);
