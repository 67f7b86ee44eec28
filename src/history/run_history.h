#pragma once
// The runs of the store with their figures and batch numbers: what the
// history lists, shows and compares, read in one place.
#include "history/run_chart_data.h"
#include "history/run_energy.h"
#include "history/run_figures.h"
#include "runs/run_store.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// Every read here gives why the store did not read where it did not
// (StoreRead): no figure is made of what could not be read.

// Each run's batch: its program's firings counted up from 1, oldest first.
// A run that went on from another (a resume) is the same firing and keeps
// its batch. Runs of the controller's own step program count apart. A
// delayed run that ended before it began takes none.
StoreRead<std::map<long long, int>> batchNumbers(RunStore& store);

// What the store keeps of a run's figures, computed now.
KeptFigures keptFiguresOf(const RunFigures& figures, double now);

// One run's figures with its batch; nothing when the store has no such run.
// Those of an ended run are kept in the store the first time they are
// computed where the store may be written, and read from there after.
StoreRead<RunFigures> loadFigures(RunStore& store, long long id,
                                  const std::map<long long, int>& batches);

// Keeps an ended run's figures in the store as the run ends, by whatever
// ended it (q7 run, the bridge, the panels): the lists only read the store,
// so figures are kept by what writes it. False, with why, where they were
// not.
bool keepEndedFigures(RunStore& store, long long id, std::string* why = nullptr);

// The firing program runs named `program`, oldest first, with their figures.
StoreRead<std::vector<RunFigures>> programRuns(RunStore& store, const std::string& program);

// What a run's report shows, read from the store in one go.
struct RunReport {
    RunFigures figures;
    RunChartData chart;
    RunEnergy energy;
    // Its seal, once it ended (run_chain.h).
    std::optional<RunSeal> seal;
    // The fields of the firing in force (the latest of each key).
    std::vector<RunField> fields;
};
// Nothing when the store has no such run.
StoreRead<RunReport> loadRunReport(RunStore& store, long long id);
