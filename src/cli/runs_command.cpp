// runs: the history of the runs in runs.sqlite. The list with each run's
// figures, one run shown (runs_show.cpp), its samples exported as CSV, and
// the times of a program's ramps run after run. Everything is read from
// the store; no line is opened. Old runs' samples are pruned, their
// figures kept. The PDF report is runs_report.cpp.
#include "base/number_text.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/output_file.h"
#include "cli/report.h"
#include "cli/run_control.h"
#include "cli/runs_report.h"
#include "cli/runs_text.h"
#include "history/ramp_trend.h"
#include "history/run_history.h"
#include "history/run_prune.h"
#include "history/sample_csv.h"
#include "runs/program_file.h"
#include "runs/program_library.h"

#include <cstdio>
#include <ctime>
#include <set>

namespace {

// The names a run of the program a person named is recorded under: the
// word itself (the program's display name) and, when the word names a
// program file (the library's `fullfuse` or a path), that file's name.
std::set<std::string> programNames(const std::string& word) {
    std::set<std::string> names{word};
    const std::string path = word.find('/') == std::string::npos
                                 ? libraryProgramPath(word, kProgramLibrary)
                                 : word;
    if (const auto p = loadFiringProgram(path); std::holds_alternative<FiringProgram>(p))
        names.insert(std::get<FiringProgram>(p).name);
    return names;
}

// "; it holds runs of Bisque, Full Fuse 90COE": what a name that matched
// nothing could have been.
std::string heldPrograms(RunStore& store) {
    std::set<std::string> held;
    const auto ids = store.runIds();
    if (ids.failed()) return "";
    for (long long id : *ids) {
        const auto run = store.load(id);
        if (run.found() && run->state.kind == RunKind::program)
            held.insert(run->state.programName);
    }
    if (held.empty()) return "";
    return "; it holds runs of " + joinNames({held.begin(), held.end()});
}

int listRuns(const std::optional<std::string>& program, std::optional<long long> last) {
    int status = exitstatus::ok;
    const auto store = existingStore(&status, RunStore::Use::read);
    if (status) return status;
    if (!store) {
        std::fprintf(stderr, "q7: no %s here: no run was recorded in this folder\n", kRunStoreFile);
        return exitstatus::ok;
    }
    const auto batches = batchNumbers(*store);
    if (batches.failed()) return storeUnread(batches.why());
    const auto ids = store->runIds();
    if (ids.failed()) return storeUnread(ids.why());
    const std::set<std::string> names = program ? programNames(*program) : std::set<std::string>();
    std::vector<std::vector<std::string>> rows{
        {"id", "program", "batch", "zones", "start", "length", "outcome", "max dev", "held back"}};
    for (long long id : *ids) {
        if (last && long(rows.size()) > *last) break;
        const auto run = store->load(id);
        if (run.failed()) return storeUnread(run.why());
        if (!run.found() || (program && !names.count(run->state.programName))) continue;
        const auto f = loadFigures(*store, id, *batches);
        if (f.failed()) return storeUnread(f.why());
        if (!f.found()) continue;
        const RunState& st = f->state;
        rows.push_back({formatWhole(id), st.programName, f->batch ? formatWhole(f->batch) : "-", zonesText(st),
                        st.started ? dateAndTime(*st.started) : "not started",
                        f->lengthSeconds ? durationText(*f->lengthSeconds) : "-", outcomeText(st),
                        deviationText(f->largestDeviation, f->unit),
                        f->noPlan.empty() ? durationText(f->heldBackSeconds) : "-"});
    }
    if (rows.size() == 1) {
        std::fprintf(stderr, "q7: %s holds no runs%s\n", kRunStoreFile,
                     program ? (" of " + *program + heldPrograms(*store)).c_str() : "");
        return exitstatus::ok;
    }
    printColumns(rows);
    return exitstatus::ok;
}

int exportRun(long long id, const std::string& path) {
    for (const std::string& file : {path, recordPathBeside(path), marksPathBeside(path)})
        if (const std::string why = cannotWrite(file); !why.empty())
            return fail(exitstatus::usage, why);
    int status = exitstatus::ok;
    const auto store = existingStore(&status, RunStore::Use::read);
    if (status) return status;
    const auto run = store ? store->load(id) : std::nullopt;
    if (run.failed()) return storeUnread(run.why());
    if (!run.found())
        return fail(exitstatus::usage, "no run " + formatWhole(id) + " in " + kRunStoreFile);
    const auto kept = store->keptFigures(id);
    if (kept.failed()) return storeUnread(kept.why());
    if (kept.found() && kept->samplesPruned)
        return fail(exitstatus::usage, "run " + formatWhole(id) + "'s samples were pruned " +
                                           dateAndTime(kept->kept) + "; only its figures are kept");
    // Nothing is written of samples that did not all read.
    const auto samples = store->samples(id);
    if (samples.failed()) return storeUnread(samples.why());
    const auto events = store->events(id);
    if (events.failed()) return storeUnread(events.why());
    const auto seal = store->seal(id);
    if (seal.failed()) return storeUnread(seal.why());
    if (const int status = saveFile(path, samplesCsv(*run, *samples, *events))) return status;
    if (const int status = saveFile(marksPathBeside(path), marksCsv(*run, *events))) return status;
    return saveFile(
        recordPathBeside(path),
        recordText(*run, seal.found() ? std::optional<RunSeal>(*seal) : std::nullopt, *events));
}

int trend(const std::string& program) {
    int status = exitstatus::ok;
    const auto store = existingStore(&status, RunStore::Use::read);
    if (status) return status;
    StoreRead<std::vector<RunFigures>> runs = std::vector<RunFigures>();
    if (store)
        for (const std::string& name : programNames(program)) {
            runs = programRuns(*store, name);
            if (runs.failed()) return storeUnread(runs.why());
            if (!runs->empty()) break;
        }
    if (runs->empty())
        return fail(exitstatus::usage, "no runs of " + program + " in " + kRunStoreFile +
                                           (store ? heldPrograms(*store) : ""));
    std::printf("%s: %zu runs; the time each ramp took, oldest first (batch: time)\n",
                program.c_str(), runs->size());
    const auto trends = rampTrends(*runs);
    if (trends.empty()) std::printf("  no ramp was finished in these runs\n");
    for (const RampTrend& t : trends) {
        std::printf("%s:\n ", t.label.c_str());
        for (const RampTrend::Point& p : t.points)
            std::printf(" #%d %s", p.batch, durationText(p.seconds).c_str());
        std::printf("\n");
        if (t.slowerThan) std::printf("  %s\n", slowingText(t).c_str());
    }
    return exitstatus::ok;
}

int prune(long long keepDays) {
    int status = exitstatus::ok;
    const auto store = existingStore(&status, RunStore::Use::change);
    if (status) return status;
    if (!store) {
        std::fprintf(stderr, "q7: no %s here: no run was recorded in this folder\n", kRunStoreFile);
        return exitstatus::ok;
    }
    const double now = double(std::time(nullptr));
    const double before = now - double(keepDays) * 86400;
    const PruneResult r = pruneRuns(*store, before, now);
    if (!r.pruned.empty()) {
        std::string ids;
        for (long long id : r.pruned)
            ids += (ids.empty() ? "" : ", ") + formatWhole(id);
        std::printf("pruned the samples of %zu run%s ended before %s (%s); their figures are "
                    "kept\n",
                    r.pruned.size(), r.pruned.size() == 1 ? "" : "s", dateAndTime(before).c_str(),
                    ids.c_str());
    } else if (r.why.empty()) {
        std::printf("no run that ended before %s holds samples\n", dateAndTime(before).c_str());
    }
    if (!r.why.empty()) return fail(exitstatus::usage, "the run store " + r.why);
    return exitstatus::ok;
}

std::optional<long long> runId(const std::string& word) {
    const auto id = parseWhole(word);
    if (!id || *id < 1) return std::nullopt;
    return id;
}

} // namespace

int runsCommand(const HeadlessOptions&, const Words& words) {
    // -o is the short name the export's and the report's file goes by.
    Words spelled = words;
    for (std::string& w : spelled)
        if (w == "-o") w = "--output";
    const CommandArgs args =
        parseCommandArgs(spelled, {}, {"--program", "--last", "--output", "--keep-days"});
    if (!args.error.empty()) return usageError("runs", args.error);
    const auto& pos = args.positional;
    if (pos.empty()) {
        std::optional<long long> last;
        if (const auto n = args.value("--last")) {
            last = parseWhole(*n);
            if (!last || *last < 1)
                return usageError("runs",
                                  "--last takes a number of runs, 1 or more, not '" + *n + "'");
        }
        if (args.value("--output"))
            return usageError("runs", "-o goes with runs export and runs report");
        if (args.value("--keep-days"))
            return usageError("runs", "--keep-days goes with runs prune");
        return listRuns(args.value("--program"), last);
    }
    if (args.value("--program") || args.value("--last"))
        return usageError("runs", "--program and --last go with the list of runs alone");
    const std::string& what = pos[0];
    if (args.value("--keep-days") && what != "prune")
        return usageError("runs", "--keep-days goes with runs prune");
    if (what == "prune") {
        const auto days = args.value("--keep-days");
        if (pos.size() != 1 || !days || args.value("--output"))
            return usageError("runs", "runs prune takes --keep-days N alone");
        const auto n = parseWhole(*days);
        if (!n || *n < 0 || *n > 36500)
            return usageError("runs",
                              "--keep-days takes whole days from 0 to 36500, not '" + *days + "'");
        return prune(*n);
    }
    if (what == "trend") {
        if (pos.size() != 2) return usageError("runs", "runs trend takes one program NAME");
        return trend(pos[1]);
    }
    if (what == "verify") {
        if (pos.size() > 2 || args.value("--output"))
            return usageError("runs", "runs verify takes one run ID or none");
        if (pos.size() == 1) return verifyRuns(std::nullopt);
        const auto id = runId(pos[1]);
        if (!id)
            return usageError("runs", "a run ID is a whole number from 1 on, not '" + pos[1] + "'");
        return verifyRuns(*id);
    }
    if (what != "show" && what != "export" && what != "report")
        return usageError("runs", "runs takes show ID, export ID -o FILE, report ID -o FILE, "
                                  "verify [ID], trend NAME or prune --keep-days N, not '" +
                                      what + "'");
    if (pos.size() != 2) return usageError("runs", "runs " + what + " takes one run ID");
    const auto id = runId(pos[1]);
    if (!id)
        return usageError("runs", "a run ID is a whole number from 1 on, not '" + pos[1] + "'");
    if (what == "show") {
        if (args.value("--output"))
            return usageError("runs", "-o goes with runs export and runs report");
        return showRun(*id);
    }
    const auto path = args.value("--output");
    if (what == "report") {
        if (!path) return usageError("runs", "runs report needs -o FILE.pdf");
        return reportRun(*id, *path);
    }
    if (!path) return usageError("runs", "runs export needs -o FILE.csv");
    return exportRun(*id, *path);
}
