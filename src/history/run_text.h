#pragma once
// How a run's figures read as text: shared by `q7 runs`, the Runs panel, the
// run chart's read-out and the PDF report, so each says a time or a zone the
// same way.
#include "history/ramp_trend.h"
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
// The same with its unit, "6.0 °F"; "6.0 degrees" where none is known.
std::string deviationText(const std::optional<double>& degrees,
                          const std::optional<TemperatureUnit>& unit);
// "2026-12-09 14:05:09", local time.
std::string dateAndTime(double wall);
// A ramp's rate reached, "412.5°C/h", or "-" when it did not finish.
std::string rateText(const std::optional<double>& rate, const char* unit);
// "segment 2's ramp is getting slower: the last three runs each took longer
// than 1:00:00, the median of the runs before"; empty while it is not.
std::string slowingText(const RampTrend& trend);
