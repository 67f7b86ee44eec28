// run: a firing program run in the foreground on the command's line, one
// line printed per segment and event, recorded in runs.sqlite. SIGINT and
// SIGTERM end it the way the program's `end` says, recorded as stopped.
#include "base/clock.h"
#include "base/id_list.h"
#include "base/number_text.h"
#include "base/typed_number.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/signal_stop.h"
#include "link/controller.h"
#include "runs/controller_zone.h"
#include "runs/program_library.h"
#include "runs/run_engine.h"
#include "runs/run_store.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <set>

namespace {

constexpr double kPollSeconds = 1.0;
constexpr double kMaxTimeScale = 1000;

struct NamedZone {
    int id;
    double offset;
};

// "1,2+10,7-5": ids on the line, each with the degrees it runs above or
// below the plan.
std::optional<std::vector<NamedZone>> parseZones(std::string_view text, std::string* why) {
    std::vector<NamedZone> zones;
    std::set<int> seen;
    while (true) {
        const auto comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        const auto id = takeWhole(item);
        std::optional<double> offset = 0.0;
        if (!item.empty())
            offset = (item[0] == '+' || item[0] == '-') ? parseReal(item) : std::nullopt;
        if (!id || !controllerIdInRange(*id) || !offset) {
            *why = "--zones takes ids from 1 to 247, each with an offset if any, as 1,2+10,7-5";
            return std::nullopt;
        }
        if (!seen.insert(int(*id)).second) {
            *why = "--zones names id " + formatWhole(*id) + " twice";
            return std::nullopt;
        }
        zones.push_back({int(*id), *offset});
        if (comma == std::string_view::npos) return zones;
        text.remove_prefix(comma + 1);
    }
}

// "H:MM" as seconds.
std::optional<double> hoursAndMinutes(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || text.size() - colon != 3) return std::nullopt;
    const auto h = parseWhole(text.substr(0, colon)), m = parseWhole(text.substr(colon + 1));
    if (!h || !m || *h < 0 || *m < 0 || *m > 59) return std::nullopt;
    return double(*h) * 3600 + double(*m) * 60;
}

double systemNow() {
    return double(std::time(nullptr));
}

// The next time the clock on the wall shows HH:MM, today or tomorrow.
std::optional<double> nextTimeOfDay(std::string_view text) {
    const auto s = hoursAndMinutes(text);
    if (!s || *s >= 24 * 3600) return std::nullopt;
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    tm.tm_hour = int(*s) / 3600;
    tm.tm_min = int(*s) / 60 % 60;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    std::time_t at = std::mktime(&tm);
    if (at <= now) {
        tm.tm_mday += 1;
        tm.tm_isdst = -1;
        at = std::mktime(&tm);
    }
    return double(at);
}

std::string clockText(double wall) {
    const std::time_t t = std::time_t(wall);
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &tm);
    return text;
}

// One line per event on stdout, as it happens.
class PrintedEvents final : public RunListener {
  public:
    void runUpdated(const RunUpdate& u) override {
        for (const RunEvent& e : u.events)
            std::printf("%s %s\n", clockText(e.time).c_str(), e.text.c_str());
        std::fflush(stdout);
    }
};

struct RunPlan {
    std::string programFile;
    std::vector<NamedZone> zones;
    std::optional<double> startAt;
    double timeScale = 1;
    bool resume = false;
};

int planRun(const HeadlessOptions& options, const Words& words, RunPlan* plan) {
    const CommandArgs args =
        parseCommandArgs(words, {"--resume", "--force"},
                         {"--program", "--programs", "--zones", "--at", "--in", "--time-scale"});
    if (const int s = expectWords("run", args, 0, "only its options")) return s;
    plan->resume = args.has("--resume");
    const auto program = args.value("--program");
    if (plan->resume == program.has_value())
        return usageError("run", "run takes --program FILE, or --resume");
    if (program)
        plan->programFile =
            programPath(*program, args.value("--programs").value_or(kProgramLibrary));
    if (const auto z = args.value("--zones")) {
        if (!options.ids.empty()) return usageError("run", "--zones and --id name the same ids");
        std::string why;
        const auto zones = parseZones(*z, &why);
        if (!zones) return usageError("run", why);
        plan->zones = *zones;
    }
    for (int id : options.ids)
        plan->zones.push_back({id, 0});
    if (args.value("--at") && args.value("--in"))
        return usageError("run", "--at and --in both say when to start: give one");
    if (const auto at = args.value("--at")) {
        plan->startAt = nextTimeOfDay(*at);
        if (!plan->startAt) return usageError("run", "--at takes a time of day, HH:MM");
    }
    if (const auto in = args.value("--in")) {
        const auto s = hoursAndMinutes(*in);
        if (!s) return usageError("run", "--in takes H:MM");
        plan->startAt = systemNow() + *s;
    }
    if (const auto v = args.value("--time-scale")) {
        const TypedNumber n = parseTypedNumber(*v);
        if (!n.value || *n.value < 1 || *n.value > kMaxTimeScale)
            return usageError("run", "--time-scale takes 1 to 1000, not '" + *v + "'");
        // A real kiln cannot follow a plan run faster than life.
        if (!options.simulate && !args.has("--force"))
            return usageError("run", "--time-scale runs the plan faster than life: only with "
                                     "--simulate, or with --force for a simulator on a port");
        plan->timeScale = *n.value;
    }
    return exitstatus::ok;
}

// The unfinished run on this line, if any, for --resume and to keep a new
// run from taking its controllers.
std::optional<StoredRun> unfinishedOn(RunStore& store, const std::string& port) {
    for (long long id : store.unfinished()) {
        auto run = store.load(id);
        if (run && !run->state.zones.empty() && run->state.zones[0].port == port) return run;
    }
    return std::nullopt;
}

int exitOf(const RunState& state) {
    if (SignalStop::received()) return exitstatus::signalBase + SignalStop::received();
    return state.outcome == RunOutcome::completed ? exitstatus::ok : exitstatus::notConfirmed;
}

} // namespace

int runCommand(const HeadlessOptions& options, const Words& words) {
    RunPlan plan;
    if (const int s = planRun(options, words, &plan)) return s;
    std::string text;
    FiringProgram program;
    if (!plan.resume) {
        auto loaded = loadFiringProgram(plan.programFile, &text);
        if (const auto* why = std::get_if<std::string>(&loaded))
            return fail(exitstatus::usage, *why);
        program = std::get<FiringProgram>(std::move(loaded));
    }
    auto opened = RunStore::open(kRunStoreFile);
    if (const auto* why = std::get_if<std::string>(&opened))
        return fail(exitstatus::usage, "the run store " + *why + "; no run starts unrecorded");
    RunStore& store = *std::get<std::unique_ptr<RunStore>>(opened);

    SignalStop signals;
    // The zones are the line's ids: a simulator started for the command answers each.
    HeadlessOptions lineOptions = options;
    if (lineOptions.ids.empty())
        for (const NamedZone& z : plan.zones)
            lineOptions.ids.push_back(z.id);
    ControllerLine line(lineOptions);
    if (const int s = line.open()) return s;
    const std::string port = line.portText().substr(0, line.portText().find(' '));
    const std::optional<StoredRun> open = unfinishedOn(store, port);
    if (plan.resume && !open)
        return fail(exitstatus::usage, "no unfinished run in " + store.path() + " on " + port);
    if (!plan.resume && open)
        return fail(exitstatus::usage, "run " + formatWhole(open->id) + " (" +
                                           open->state.programName + ") is unfinished on " + port +
                                           ": q7 run --resume goes on with it");
    if (plan.resume) {
        auto parsed = parseFiringProgram(open->state.programText);
        if (const auto* e = std::get_if<ProgramError>(&parsed))
            return fail(exitstatus::usage,
                        "run " + formatWhole(open->id) + "'s program no longer reads: " + e->why);
        program = std::get<FiringProgram>(parsed);
        plan.zones.clear();
        for (const ZoneState& z : open->state.zones)
            plan.zones.push_back({z.id, z.offset});
    }
    if (plan.zones.empty()) plan.zones.push_back({line.ids().front(), 0});

    // Each zone its own controller on the line, as each has its own scale and record.
    std::vector<std::unique_ptr<Controller>> controllers;
    std::vector<EngineZone> zones;
    for (const NamedZone& z : plan.zones) {
        line.useId(z.id);
        if (const int s = line.connect()) return s;
        auto c = std::make_unique<Controller>(line.controller().line());
        c->setControllerId(uint16_t(z.id));
        if (!c->probe().answered) return line.stoppedAnswering("as the run began");
        zones.push_back({std::make_unique<ControllerZone>(*c), port, z.id, z.offset});
        controllers.push_back(std::move(c));
    }
    RunOptions runOptions;
    runOptions.timeScale = plan.timeScale;
    runOptions.startAt = plan.startAt;
    std::unique_ptr<RunEngine> engine =
        plan.resume
            ? std::make_unique<RunEngine>(program, open->state, std::move(zones), runOptions)
            : std::make_unique<RunEngine>(program, text, std::move(zones), runOptions);
    RunRecorder recorder(store, plan.resume ? std::optional<long long>(open->id) : std::nullopt);
    PrintedEvents printed;
    engine->addListener(&recorder);
    engine->addListener(&printed);
    if (const std::string why = engine->open(); !why.empty())
        return fail(exitstatus::usage, (plan.resume ? std::string("the run") : plan.programFile) +
                                           ": " + why + "; nothing was written");
    if (!recorder.problem().empty())
        return fail(exitstatus::usage, recorder.problem() + "; nothing was written");
    std::printf("run %lld: %s on %s\n", *recorder.runId(), program.name.c_str(),
                line.portText().c_str());
    if (engine->state().startAt)
        std::printf("waiting until %s\n", clockText(*engine->state().startAt).c_str());
    std::fflush(stdout);

    bool told = false;
    auto next = lineClock().now();
    while (!engine->ended()) {
        engine->tick();
        if (!recorder.problem().empty() && !told) {
            told = true;
            fail(0, "the run goes on unrecorded: " + recorder.problem());
        }
        next += std::chrono::duration_cast<Clock::TimePoint::duration>(
            std::chrono::duration<double>(kPollSeconds));
        // A signal is looked at every tenth of a second while the run waits.
        while (!engine->ended() && !SignalStop::received() && lineClock().now() < next)
            lineClock().sleepUntil(std::min(next, secondsFromNow(0.1)));
        if (SignalStop::received()) engine->stop();
        // A poll that took longer than the interval is not made up for.
        if (next < lineClock().now()) next = lineClock().now();
    }
    return exitOf(engine->state());
}
