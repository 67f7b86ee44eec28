#pragma once
// How `q7 runs` writes a run's figures: shared by its listing, its show
// and its trend.
#include "history/run_figures.h"

#include <string>
#include <vector>

// "1:05:09": plan seconds, to the second.
std::string durationText(double seconds);
// "COM1 id 1,2; COM2 id 7"
std::string zonesText(const RunState& state);
// The outcome of an ended run, else where it stands ("running").
std::string outcomeText(const RunState& state);
// A deviation to a tenth of a degree, "-" where nothing was sampled.
std::string deviationText(const std::optional<double>& degrees);

// Rows printed in columns two spaces apart, each as wide as its widest cell;
// the last column is not padded.
void printColumns(const std::vector<std::vector<std::string>>& rows);

// Shows one run: its figures per segment and its events.
int showRun(long long id);
