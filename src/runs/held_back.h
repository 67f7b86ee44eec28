#pragma once
// "held back 4:10 waiting for COM2 id 3 (583.4 vs 600.6 °C)": what every
// view says of a run whose plan waits for a zone, from the engine that
// drives it or from its record in the store.
#include "runs/run_engine.h"
#include "runs/run_record.h"

#include <optional>
#include <string>
#include <vector>

// Of a run this process drives; empty while it does not wait.
std::string heldBackText(const RunEngine& engine);

// Of a run as the store holds it: its events, the last sample of each zone
// (RunStore::lastSamples) and the wall clock now. Empty while it does not wait.
std::string heldBackText(const RunState& state, const std::vector<RunEvent>& events,
                         const std::vector<RunSample>& last, double now);
