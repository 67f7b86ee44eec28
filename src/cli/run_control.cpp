#include "cli/run_control.h"

#include "base/clock.h"
#include "base/number_text.h"
#include "base/time_text.h"
#include "base/typed_number.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/run_lines.h"
#include "cli/signal_stop.h"
#include "history/run_history.h"
#include "runs/held_back.h"
#include "runs/plan.h"
#include "runs/records_conf.h"
#include "runs/run_engine.h"
#include "runs/run_host.h"
#include "runs/run_order.h"
#include "runs/run_units.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How long --stop waits for the q7 that drives the run to end it: it looks
// at the store at every poll, and its end writes to each zone.
constexpr double kStopWait = 30;

// The command's COM port and the device behind it now.
std::pair<std::string, std::string> commandLine(const HeadlessOptions& options) {
    const RunLines lines(options, 1);
    return {portName(lines.commandPort()), lines.device(lines.commandPort())};
}

std::string driverText(RunStore& store, const StoredRun& run, const char* verb) {
    const auto d = store.driver(run.id);
    if (d.failed()) return std::string("who it is ") + verb + " by cannot be read: " + d.why();
    if (d.found() && stillRunning(*d))
        return std::string(verb) + " by q7, pid " + formatWhole(d->pid);
    return "";
}

void printProgramRun(RunStore& store, const StoredRun& run) {
    const RunState& st = run.state;
    std::printf("run %lld: %s, ", run.id, st.programName.c_str());
    auto parsed = parseFiringProgram(st.programText);
    const FiringProgram* program = std::get_if<FiringProgram>(&parsed);
    if (st.phase == RunPhase::waiting) {
        if (st.startAt)
            std::printf("waiting to start at %s\n", dateAndTime(*st.startAt).c_str());
        else
            std::printf("waiting for its zones to answer\n");
    } else {
        std::printf("%s in %s\n", st.phase == RunPhase::paused ? "paused" : "running",
                    program
                        ? stepText(*program, stepAt(*program, st.planStart, st.planClock)).c_str()
                        : ("segment " + formatWhole(st.segment + 1)).c_str());
    }
    if (st.phase == RunPhase::paused) std::printf("  paused: %s\n", st.pauseReason.c_str());
    if (st.phase == RunPhase::running) {
        const auto events = store.events(run.id);
        const auto last = events.failed() ? events.failure() : store.lastSamples(run.id);
        if (last.failed())
            std::printf("  whether it is held back is not known: %s\n", last.why().c_str());
        else if (const std::string held = heldBackText(st, *events, *last, wallSeconds());
                 !held.empty())
            std::printf("  %s\n", held.c_str());
    }
    if (program && st.started) {
        const double total = Plan(*program, st.planStart).totalSeconds();
        std::printf("  plan at %s of %s, %s to go; started %s", hoursMinutes(st.planClock).c_str(),
                    hoursMinutes(total).c_str(),
                    hoursMinutes(std::max(0.0, total - st.planClock)).c_str(),
                    dateAndTime(*st.started).c_str());
        if (st.timeScale != 1) std::printf("; time scale %s", numberText(st.timeScale).c_str());
        std::printf("\n");
    }
    if (!program) std::printf("  its program no longer reads\n");
    const TemperatureUnit unit = program ? program->unit : TemperatureUnit::celsius;
    const RunUnits units = RunUnits::of(st);
    for (std::size_t i = 0; i < st.zones.size(); ++i) {
        const ZoneState& z = st.zones[i];
        std::printf("  %s id %d", z.port.c_str(), z.id);
        if (z.offset != 0)
            std::printf(" (%s%s%s)", z.offset > 0 ? "+" : "", numberText(z.offset).c_str(),
                        unitSign(unit));
        if (z.lastWritten)
            std::printf(": last SV written %s%s\n",
                        numberText(roundedTo(units.temperature(int(i), *z.lastWritten), 1)).c_str(),
                        units.sign().c_str());
        else
            std::printf(": no SV written yet\n");
    }
    const std::string driver = driverText(store, run, "driven");
    if (!driver.empty())
        std::printf("  %s\n", driver.c_str());
    else
        std::printf("  no process drives it; each controller holds the last SV written: "
                    "q7 run --resume goes on with it, q7 run --stop ends it\n");
}

void printStepRun(RunStore& store, const StoredRun& run) {
    const RunState& st = run.state;
    const ZoneState z = st.zones.empty() ? ZoneState{} : st.zones.front();
    std::printf("run %lld: the controller's own step program on %s id %d, started %s\n", run.id,
                z.port.c_str(), z.id, dateAndTime(st.started.value_or(st.opened)).c_str());
    const std::string watcher = driverText(store, run, "followed");
    if (!watcher.empty())
        std::printf("  %s\n", watcher.c_str());
    else
        std::printf("  nobody follows it: its record ends when q7 program stop or run finds "
                    "it ended\n");
}

// Asks the q7 that drives the run to stop it, and waits until it has.
int askToStop(RunStore& store, const StoredRun& run, const RunDriver& driver) {
    std::string why;
    if (!store.requestStop(run.id, wallSeconds(), &why))
        return fail(exitstatus::usage,
                    "run " + formatWhole(run.id) + " could not be asked to " + "stop: " + why);
    std::printf("asked q7 (pid %lld) to stop run %lld\n", driver.pid, run.id);
    std::fflush(stdout);
    const auto deadline = secondsFromNow(kStopWait);
    while (lineClock().now() < deadline && !SignalStop::received()) {
        const auto again = store.load(run.id);
        if (again.failed()) return storeUnread(again.why());
        if (again.found() && again->state.phase == RunPhase::ended) {
            const auto events = store.events(run.id);
            if (events.failed()) return storeUnread(events.why());
            if (!events->empty())
                std::printf("%s %s\n", clockTextAt(events->back().time).c_str(),
                            events->back().text.c_str());
            return exitstatus::ok;
        }
        if (!stillRunning(driver)) break;
        lineClock().sleepUntil(secondsFromNow(0.1));
    }
    if (SignalStop::received()) return stoppedBySignal("while waiting for the run to end");
    if (!stillRunning(driver))
        return fail(exitstatus::notConfirmed,
                    "q7 (pid " + formatWhole(driver.pid) + ") ended without ending run " +
                        formatWhole(run.id) + ": q7 run --stop again ends it here");
    return fail(exitstatus::notConfirmed, "q7 (pid " + formatWhole(driver.pid) +
                                              ") has not ended run " + formatWhole(run.id) +
                                              " yet; it was asked to and will at its next poll");
}

// Records whether any write of the end went wrong.
class EndWrites final : public RunListener {
  public:
    void runUpdated(const RunUpdate& u) override {
        for (const RunEvent& e : u.events)
            failed = failed || e.kind == EventKind::writeFailed || e.kind == EventKind::silence;
    }
    bool failed = false;
};

// Ends a run no process drives any longer, here, the way its program says.
int stopHere(const HeadlessOptions& options, RunStore& store, const StoredRun& run) {
    std::string why;
    auto program = storedProgram(run, &why);
    if (!program) return fail(exitstatus::usage, why);
    std::vector<NamedZone> zones;
    RunLines lines(options, run.state.timeScale);
    if (const std::string elsewhere = lines.storedZones(run, &zones); !elsewhere.empty())
        return fail(exitstatus::usage, elsewhere);
    if (const int s = lines.open(zones)) return s;
    RunHost host(store, [](RunStore& s, long long id) { keepEndedFigures(s, id); });
    host.take(std::move(*program), run, lines.engineZones());
    PrintedEvents printed;
    EndWrites writes;
    host.listen(&printed);
    host.listen(&writes);
    host.endHere();
    const RunRecorder& recorder = host.recorder();
    if (!recorder.problem().empty())
        return fail(exitstatus::notConfirmed,
                    "the end was not recorded: " + recorder.problem() +
                        (recorder.endKeptAside() ? "; it is kept in " + store.endJournalPath() +
                                                       ", and goes into the store once it can be "
                                                       "written"
                                                 : ""));
    return writes.failed ? exitstatus::notConfirmed : exitstatus::ok;
}

} // namespace

std::string noRunText(RunStore& store, const std::string& port, const std::string& device) {
    const auto elsewhere = openRunsNamedElsewhere(store, port, device);
    if (elsewhere.failed()) return "; " + elsewhere.why();
    if (!elsewhere->empty())
        return ": " + elsewhereText(*elsewhere, port) + ", and " + port + " is " + device + " here";
    const auto last = lastRunOn(store, device);
    if (last.failed()) return "; " + last.why();
    if (!last.found() || last->state.phase != RunPhase::ended) return "";
    return ": its last run, run " + formatWhole(last->id) + " (" + last->state.programName +
           "), ended: " + outcomeName(last->state.outcome.value_or(RunOutcome::stopped));
}

void tellNotice(const RunStore& store) {
    if (!store.notice().empty()) std::fprintf(stderr, "q7: %s\n", store.notice().c_str());
}

std::unique_ptr<RunStore> existingStore(int* status, RunStore::Use use) {
    struct stat st {};
    if (::stat(kRunStoreFile, &st) != 0) return nullptr;
    auto opened = RunStore::open(kRunStoreFile, use);
    if (const auto* why = std::get_if<std::string>(&opened)) {
        *status = fail(exitstatus::usage, "the run store " + *why);
        return nullptr;
    }
    auto store = std::move(std::get<std::unique_ptr<RunStore>>(opened));
    tellNotice(*store);
    return store;
}

int storeUnread(const std::string& why) {
    return fail(exitstatus::usage, "the run store " + why);
}

void PrintedEvents::runUpdated(const RunUpdate& u) {
    for (const RunEvent& e : u.events)
        std::printf("%s %s\n", clockTextAt(e.time).c_str(), e.text.c_str());
    std::fflush(stdout);
}

int runStatus(const HeadlessOptions& options) {
    const auto [port, device] = commandLine(options);
    int status = exitstatus::ok;
    const auto store = existingStore(&status, RunStore::Use::read);
    if (status) return status;
    const auto runs = store ? openRunsOn(*store, device) : std::vector<StoredRun>{};
    if (runs.failed()) return storeUnread(runs.why());
    if (runs->empty()) {
        const auto elsewhere =
            store ? openRunsNamedElsewhere(*store, port, device) : std::vector<StoredRun>{};
        if (elsewhere.failed()) return storeUnread(elsewhere.why());
        std::printf("no open run on %s\n", port.c_str());
        if (!elsewhere->empty())
            std::printf("  %s, and %s is %s here\n", elsewhereText(*elsewhere, port).c_str(),
                        port.c_str(), device.c_str());
    }
    for (const StoredRun& run : *runs) {
        if (const auto d = store->driver(run.id); d.failed()) return storeUnread(d.why());
        if (run.state.kind == RunKind::program)
            printProgramRun(*store, run);
        else
            printStepRun(*store, run);
    }
    return exitstatus::ok;
}

int runStop(const HeadlessOptions& options) {
    const auto [port, device] = commandLine(options);
    int status = exitstatus::ok;
    const auto store = existingStore(&status, RunStore::Use::change);
    if (status) return status;
    const auto run = store ? openRunOn(*store, device) : std::nullopt;
    if (run.failed()) return storeUnread(run.why());
    if (!run.found()) {
        const auto any = store ? openRunsOn(*store, device) : std::vector<StoredRun>{};
        if (any.failed()) return storeUnread(any.why());
        if (!any->empty())
            return fail(exitstatus::usage, "the open run on " + port + " is a controller's own " +
                                               "step program: q7 program stop ends it");
        return fail(exitstatus::usage, "no unfinished run on " + port +
                                           (store ? noRunText(*store, port, device) : ""));
    }
    SignalStop signals;
    const auto d = store->driver(run->id);
    if (d.failed()) return storeUnread(d.why());
    if (d.found() && stillRunning(*d)) return askToStop(*store, *run, *d);
    return stopHere(options, *store, *run);
}

namespace {

// The unfinished run on the command's line, and the q7 that drives it, for
// a request only that q7 can carry out.
struct DrivenRun {
    std::unique_ptr<RunStore> store;
    StoredRun run;
    RunDriver driver;
};

// exitstatus::ok with *out filled, or the status to end with once told;
// notDriven says what a run no q7 drives cannot have done.
int drivenRun(const HeadlessOptions& options, const std::string& notDriven, DrivenRun* out) {
    const auto [port, device] = commandLine(options);
    int status = exitstatus::ok;
    out->store = existingStore(&status, RunStore::Use::change);
    if (status) return status;
    RunStore* store = out->store.get();
    const auto run = store ? openRunOn(*store, device) : std::nullopt;
    if (run.failed()) return storeUnread(run.why());
    if (!run.found())
        return fail(exitstatus::usage, "no unfinished run on " + port +
                                           (store ? noRunText(*store, port, device) : ""));
    const auto d = store->driver(run->id);
    if (d.failed()) return storeUnread(d.why());
    if (!d.found() || !stillRunning(*d))
        return fail(exitstatus::usage, "no q7 drives run " + formatWhole(run->id) + notDriven +
                                           ": q7 run --resume goes on with it");
    out->run = *run;
    out->driver = *d;
    return exitstatus::ok;
}

// Asks again every 0.1 s whether the q7 that drives the run did it: done()
// gives the status to end with, or nothing while it has not. notYet is
// told when it has not by the deadline, or has ended.
int waitForDriver(const RunDriver& d, const char* waiting, const std::string& notYet,
                  const std::function<std::optional<int>()>& done) {
    SignalStop signals;
    const auto deadline = secondsFromNow(kStopWait);
    while (lineClock().now() < deadline && !SignalStop::received()) {
        if (const std::optional<int> status = done()) return *status;
        if (!stillRunning(d)) break;
        lineClock().sleepUntil(secondsFromNow(0.1));
    }
    if (SignalStop::received()) return stoppedBySignal(waiting);
    return fail(exitstatus::notConfirmed, "q7 (pid " + formatWhole(d.pid) + ") " + notYet);
}

} // namespace

int runContinue(const HeadlessOptions& options) {
    DrivenRun driven;
    if (const int s = drivenRun(options, "", &driven)) return s;
    RunStore& store = *driven.store;
    const long long id = driven.run.id;
    if (driven.run.state.phase != RunPhase::paused)
        return fail(exitstatus::usage, "run " + formatWhole(id) + " is not paused");
    std::string why;
    if (!store.requestContinue(id, wallSeconds(), &why))
        return fail(exitstatus::usage,
                    "run " + formatWhole(id) + " could not be asked to go on: " + why);
    std::printf("asked q7 (pid %lld) to go on with run %lld\n", driven.driver.pid, id);
    std::fflush(stdout);
    return waitForDriver(driven.driver, "while waiting for the run to go on",
                         "has not gone on with run " + formatWhole(id) + " yet",
                         [&]() -> std::optional<int> {
                             const auto again = store.load(id);
                             if (again.failed()) return storeUnread(again.why());
                             if (!again.found() || again->state.phase == RunPhase::paused)
                                 return std::nullopt;
                             std::printf("run %lld goes on\n", id);
                             return exitstatus::ok;
                         });
}

int runFields(const HeadlessOptions& options, const std::vector<RunField>& fields) {
    auto conf = loadRecordsConf(recordsConfPath());
    if (const auto* why = std::get_if<std::string>(&conf)) return fail(exitstatus::usage, *why);
    for (const RunField& f : fields)
        if (const std::string why = std::get<RecordsConf>(conf).fieldProblem(f); !why.empty())
            return fail(exitstatus::usage, why);
    DrivenRun driven;
    if (const int s = drivenRun(options, " to record the fields", &driven)) return s;
    RunStore& store = *driven.store;
    const long long id = driven.run.id;
    std::optional<long long> last;
    for (const RunField& f : fields) {
        std::string why;
        last = store.requestField(id, wallSeconds(), f, &why);
        if (!last)
            return fail(exitstatus::usage,
                        "run " + formatWhole(id) + " could not be asked for " + f.key + ": " + why);
    }
    std::printf("asked q7 (pid %lld) to record %zu field%s in run %lld\n", driven.driver.pid,
                fields.size(), fields.size() == 1 ? "" : "s", id);
    std::fflush(stdout);
    // The driver takes them in the order asked: the last taken, all are.
    return waitForDriver(driven.driver, "while waiting for the fields to be recorded",
                         "has not recorded the fields in run " + formatWhole(id) + " yet",
                         [&]() -> std::optional<int> {
                             const auto taken = store.markTaken(*last);
                             if (taken.failed()) return storeUnread(taken.why());
                             if (!*taken) return std::nullopt;
                             std::printf("run %lld has the fields\n", id);
                             return exitstatus::ok;
                         });
}

int runMark(const HeadlessOptions& options, const std::string& text) {
    DrivenRun driven;
    if (const int s = drivenRun(options, " to record the mark", &driven)) return s;
    RunStore& store = *driven.store;
    const long long id = driven.run.id;
    std::string why;
    const auto request = store.requestMark(id, wallSeconds(), text, &why);
    if (!request)
        return fail(exitstatus::usage,
                    "run " + formatWhole(id) + " could not be asked to mark: " + why);
    std::printf("asked q7 (pid %lld) to mark run %lld\n", driven.driver.pid, id);
    std::fflush(stdout);
    // A request not taken stays: the q7 that drives the run, or one that
    // resumes it, records it.
    return waitForDriver(driven.driver, "while waiting for the mark to be recorded",
                         "has not recorded the mark in run " + formatWhole(id) + " yet",
                         [&]() -> std::optional<int> {
                             const auto taken = store.markTaken(*request);
                             if (taken.failed()) return storeUnread(taken.why());
                             if (!*taken) return std::nullopt;
                             std::printf("run %lld is marked\n", id);
                             return exitstatus::ok;
                         });
}

namespace {

// What is asked, as the asker is told it: "extend the hold of run 3 by
// 0:30", "change the target of run 3 to 1050 °C" (the program's unit).
std::string changeWhat(const RunStore::ChangeAsked& c, long long id, TemperatureUnit unit) {
    const std::string run = "run " + formatWhole(id);
    switch (c.change) {
    case RunStore::Change::skip:
        return "skip the segment of " + run;
    case RunStore::Change::extend:
        return std::string(c.seconds < 0 ? "shorten the hold of " : "extend the hold of ") + run +
               " by " + hoursMinutes(std::abs(c.seconds));
    case RunStore::Change::target:
        return "change the target of " + run + " to " + numberText(c.value.value_or(0)) +
               unitSign(unit);
    case RunStore::Change::rate:
        return "change the rate of " + run + " to " +
               (c.value ? numberText(*c.value) + unitSign(unit) + "/h" : "full");
    }
    return "";
}

const char* changeReason(RunStore::Change c) {
    switch (c) {
    case RunStore::Change::skip:
        return " to skip a segment";
    case RunStore::Change::extend:
        return " to change a hold";
    case RunStore::Change::target:
        return " to change a target";
    case RunStore::Change::rate:
        return " to change a rate";
    }
    return "";
}

} // namespace

int runChange(const HeadlessOptions& options, const RunStore::ChangeAsked& change) {
    DrivenRun driven;
    if (const int s = drivenRun(options, changeReason(change.change), &driven)) return s;
    RunStore& store = *driven.store;
    const long long id = driven.run.id;
    // The value is the program's unit: the asker is told which.
    std::string unread;
    const auto program = storedProgram(driven.run, &unread);
    const std::string what =
        changeWhat(change, id, program ? program->unit : TemperatureUnit::celsius);
    RunStore::ChangeAsked asked = change;
    asked.who = "q7 run, pid " + formatWhole(long(::getpid()));
    std::string why;
    const auto request = store.requestChange(id, wallSeconds(), asked, &why);
    if (!request)
        return fail(exitstatus::usage,
                    "run " + formatWhole(id) + " could not be asked to " + what + ": " + why);
    std::printf("asked q7 (pid %lld) to %s\n", driven.driver.pid, what.c_str());
    std::fflush(stdout);
    // A request not taken stays: the q7 that drives the run, or one that
    // resumes it, makes it or refuses it.
    return waitForDriver(
        driven.driver, "while waiting for the change to be made",
        "has not taken the change to run " + formatWhole(id) + " yet", [&]() -> std::optional<int> {
            const auto taken = store.changeTaken(*request);
            if (taken.failed()) return storeUnread(taken.why());
            if (!taken->taken) return std::nullopt;
            if (!taken->refused.empty())
                return fail(exitstatus::usage,
                            "run " + formatWhole(id) + " was not changed: " + taken->refused);
            const auto events = store.events(id);
            if (events.failed()) return storeUnread(events.why());
            for (auto e = events->rbegin(); e != events->rend(); ++e)
                if (e->kind == EventKind::change) {
                    std::printf("%s %s\n", clockTextAt(e->time).c_str(), e->text.c_str());
                    break;
                }
            return exitstatus::ok;
        });
}
