#pragma once
// How a run's figures read as text: shared by `q7 runs`, the run chart's
// read-out and the PDF report, so each says a time or a zone the same way.
#include "runs/run_record.h"

#include <optional>
#include <string>

// "1:05:09": plan seconds, to the second.
std::string durationText(double seconds);
// "COM1 id 1,2; COM2 id 7"
std::string zonesText(const RunState& state);
// The outcome of an ended run, else where it stands ("running").
std::string outcomeText(const RunState& state);
// A deviation to a tenth of a degree, "-" where nothing was sampled.
std::string deviationText(const std::optional<double>& degrees);
