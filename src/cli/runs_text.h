#pragma once
// How `q7 runs` lays out a run's figures: shared by its listing, its show
// and its trend (the words for a time or a zone are history/run_text.h).
#include "history/run_figures.h"
#include "history/run_text.h"

#include <optional>
#include <string>
#include <vector>

// Rows printed in columns two spaces apart, each as wide as its widest cell;
// the last column is not padded.
void printColumns(const std::vector<std::vector<std::string>>& rows);

// Shows one run: its figures per segment and its events.
int showRun(long long id);
// Recomputes the hash chain of one run, or of every run (runs_verify.cpp).
int verifyRuns(std::optional<long long> id);
