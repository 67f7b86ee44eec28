// q7 runs show ID: one run's figures against its plan, segment by segment,
// and its events.
#include "base/number_text.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/run_control.h"
#include "cli/runs_text.h"
#include "history/run_history.h"
#include "runs/program_file.h"

#include <cstdio>

namespace {

void printSegments(const RunFigures& f) {
    const char* unit = f.unit ? unitSign(*f.unit) : "";
    std::vector<std::vector<std::string>> rows{
        {"segment", "planned", "actual", "held back", "max dev", "mean dev", "rate reached", ""}};
    for (const SegmentFigures& s : f.segments) {
        const std::string note = segmentNote(s);
        rows.push_back({formatWhole(s.segment + 1), durationText(s.plannedSeconds),
                        durationText(s.actualSeconds), durationText(s.heldBackSeconds),
                        deviationText(s.largestDeviation, f.unit),
                        deviationText(s.meanDeviation, f.unit),
                        s.ramp ? rateText(s.rateReached, unit) : "hold", note});
    }
    printColumns(rows);
}

} // namespace

int showRun(long long id) {
    int status = exitstatus::ok;
    const auto store = existingStore(&status, RunStore::Use::read);
    if (status) return status;
    const std::string none = "no run " + formatWhole(id) + " in " + kRunStoreFile;
    if (!store) return fail(exitstatus::usage, none);
    const auto batches = batchNumbers(*store);
    if (batches.failed()) return storeUnread(batches.why());
    const auto f = loadFigures(*store, id, *batches);
    if (f.failed()) return storeUnread(f.why());
    if (!f.found()) return fail(exitstatus::usage, none);
    // Read before the first line is printed: a run is shown whole, or not.
    const auto events = store->events(id);
    if (events.failed()) return storeUnread(events.why());
    const RunState& st = f->state;
    const std::string batch = f->batch ? "batch " + formatWhole(f->batch) : "no batch";
    std::printf("run %lld: %s, %s, %s\n", f->id, st.programName.c_str(), batch.c_str(),
                outcomeText(st).c_str());
    std::printf("  zones: %s\n", zonesText(st).c_str());
    // The fields in force; their history is among the events.
    for (const RunField& field : latestFields(*events))
        std::printf("  %s: %s\n", field.key.c_str(), field.value.c_str());
    if (st.started) {
        std::printf("  started %s", dateAndTime(*st.started).c_str());
        if (st.ended) std::printf(", ended %s", dateAndTime(*st.ended).c_str());
        if (f->lengthSeconds) std::printf(", %s long", durationText(*f->lengthSeconds).c_str());
        if (st.timeScale != 1) std::printf(" (time scale %s)", numberText(st.timeScale).c_str());
        std::printf("\n");
    } else {
        std::printf("  never started\n");
    }
    if (f->samplesPruned)
        std::printf("  its samples were pruned %s; these are the figures kept then\n",
                    dateAndTime(*f->samplesPruned).c_str());
    if (!f->noPlan.empty()) {
        std::printf("  %s\n", f->noPlan.c_str());
    } else {
        std::printf("  held back %s in all; largest deviation from the plan %s%s\n",
                    durationText(f->heldBackSeconds).c_str(),
                    deviationText(f->largestDeviation, f->unit).c_str(),
                    deviationCoverage(*f).c_str());
        printSegments(*f);
    }
    std::printf("events:\n");
    for (const RunEvent& e : *events)
        std::printf("  %s  %s%s: %s\n", dateAndTime(e.time).c_str(), eventKindName(e.kind),
                    e.zone ? (" (zone " + formatWhole(*e.zone + 1) + ")").c_str() : "",
                    e.text.c_str());
    return exitstatus::ok;
}
