// run: a firing program run in the foreground on the command's line (or on
// zones of several lines), one line printed per segment and event, recorded
// in runs.sqlite. SIGINT and SIGTERM end it the way the program's `end`
// says, recorded as stopped; so does `q7 run --stop` from another shell,
// through the store. --status and --stop are in run_control.cpp.
#include "alarms/notifier.h"
#include "base/clock.h"
#include "base/number_text.h"
#include "base/time_text.h"
#include "base/typed_number.h"
#include "cli/alarm_host.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "cli/run_alarms.h"
#include "cli/run_control.h"
#include "cli/run_lines.h"
#include "cli/run_progress.h"
#include "cli/signal_stop.h"
#include "history/run_history.h"
#include "runs/program_library.h"
#include "runs/records_conf.h"
#include "runs/run_host.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

constexpr double kPollSeconds = 1.0;
constexpr double kMaxTimeScale = 1000;

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

enum class RunAction { start, resume, status, stop, proceed, mark, field, change };

struct RunPlan {
    RunAction action = RunAction::start;
    std::string programFile;
    std::string zonesText;                  // --zones as given
    std::optional<std::string> credentials; // --credentials: the rules' secrets
    std::optional<double> startAt;
    double timeScale = 1;
    bool verbose = false;         // a progress line at every poll
    std::string mark;             // --mark's text
    std::vector<RunField> fields; // each --field, as given
    RunStore::ChangeAsked change; // --skip's, --extend's, --target's or --rate's
};

int planRun(const HeadlessOptions& options, const Words& words, RunPlan* plan) {
    const CommandArgs args = parseCommandArgs(
        words, {"--resume", "--force", "--status", "--stop", "--continue", "--verbose", "--skip"},
        {"--program", "--programs", "--zones", "--at", "--in", "--time-scale", "--mark", "--extend",
         "--target", "--rate", "--credentials", "--field"});
    if (const int s = expectWords("run", args, 0, "only its options")) return s;
    const auto program = args.value("--program");
    const int actions = int(program.has_value()) + int(args.has("--resume")) +
                        int(args.has("--status")) + int(args.has("--stop")) +
                        int(args.has("--continue")) + int(args.value("--mark").has_value()) +
                        int(args.has("--skip")) + int(args.value("--extend").has_value()) +
                        int(args.value("--target").has_value()) +
                        int(args.value("--rate").has_value());
    // --field rides with a new run, or alone asks for one of a running firing.
    for (const std::string& given : args.all("--field")) {
        std::string why;
        const auto field = parseField(given, &why);
        if (!field) return usageError("run", "--field " + why);
        plan->fields.push_back(*field);
    }
    if (actions == 0 && !plan->fields.empty() && args.error.empty()) {
        plan->action = RunAction::field;
    } else if (actions != 1) {
        return usageError("run", "run takes --program FILE, --resume, --status, --stop, "
                                 "--continue, --mark TEXT, --field KEY=VALUE, --skip, "
                                 "--extend H:MM, --target VALUE or --rate VALUE");
    } else if (!plan->fields.empty() && !program) {
        return usageError("run", "--field goes with --program, or alone");
    }
    if (args.has("--skip")) {
        plan->action = RunAction::change;
        plan->change.change = RunStore::Change::skip;
    }
    if (const auto by = args.value("--extend")) {
        plan->action = RunAction::change;
        plan->change.change = RunStore::Change::extend;
        const auto seconds = parseHoldChange(trimmed(*by));
        if (!seconds || *seconds == 0)
            return usageError("run", "--extend takes H:MM, or -H:MM to shorten the hold, such "
                                     "as 0:30 or -0:10, not '" +
                                         *by + "'");
        plan->change.seconds = *seconds;
    }
    // The program's range and unit are the driver's to check, as the
    // program's line is.
    if (const auto to = args.value("--target")) {
        plan->action = RunAction::change;
        plan->change.change = RunStore::Change::target;
        plan->change.value = parseReal(trimmed(*to));
        if (!plan->change.value)
            return usageError("run", "--target takes a temperature in the program's unit, such "
                                     "as 1000, not '" +
                                         *to + "'");
    }
    if (const auto rate = args.value("--rate")) {
        plan->action = RunAction::change;
        plan->change.change = RunStore::Change::rate;
        if (!parseRateText(trimmed(*rate), &plan->change.value))
            return usageError("run", "--rate takes degrees per hour in the program's unit "
                                     "(negative cools) or full, not '" +
                                         *rate + "'");
    }
    if (args.has("--resume")) plan->action = RunAction::resume;
    if (args.has("--status")) plan->action = RunAction::status;
    if (args.has("--stop")) plan->action = RunAction::stop;
    if (args.has("--continue")) plan->action = RunAction::proceed;
    if (const auto mark = args.value("--mark")) {
        plan->action = RunAction::mark;
        const std::string_view text = trimmed(*mark);
        if (const std::string why = markTextProblem(text); !why.empty())
            return usageError("run", "--mark " + why);
        plan->mark = std::string(text);
    }
    plan->verbose = args.has("--verbose");
    plan->credentials = args.value("--credentials");
    const bool starts = plan->action == RunAction::start;
    // What only a new run takes, a run that exists already has.
    for (const char* key : {"--zones", "--at", "--in", "--programs"})
        if (!starts && args.value(key))
            return usageError("run", std::string(key) + " goes with --program");
    if (!starts && !options.ids.empty()) return usageError("run", "--id goes with --program");
    if (program)
        plan->programFile =
            programPath(*program, args.value("--programs").value_or(kProgramLibrary));
    if (const auto z = args.value("--zones")) {
        if (!options.ids.empty()) return usageError("run", "--zones and --id name the same ids");
        plan->zonesText = *z;
    }
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
        if (plan->action == RunAction::status)
            return usageError("run", "--time-scale goes with a run, not --status");
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

// The zones a new run names: --zones, or --id's list, or the line's one.
std::optional<std::vector<NamedZone>> zonesOf(const HeadlessOptions& options, const RunPlan& plan,
                                              int commandPort, int* status) {
    if (!plan.zonesText.empty()) {
        std::string why;
        auto zones = parseZones(plan.zonesText, commandPort, &why);
        if (!zones) *status = usageError("run", why);
        return zones;
    }
    std::vector<NamedZone> zones;
    for (int id : options.ids)
        zones.push_back({commandPort, id, 0});
    // The line's own controller: DftCom.prm's id, or 1.
    if (zones.empty()) zones.push_back({commandPort, 0, 0});
    return zones;
}

int exitOf(const RunState& state) {
    if (SignalStop::received()) return exitstatus::signalBase + SignalStop::received();
    return state.outcome == RunOutcome::completed ? exitstatus::ok : exitstatus::notConfirmed;
}

// Polls the run until it ends: a signal, or a stop asked for through the
// store, ends it the way its program says. The alarm rules look at each poll.
int drive(RunHost& host, RunAlarms& alarms) {
    RunEngine& engine = host.engine();
    auto next = lineClock().now();
    while (!engine.ended()) {
        const bool asked = host.tick() == RunHost::Asked::stop;
        alarms.poll();
        if (const std::string problem = host.newProblem(); !problem.empty() && !asked)
            fail(0, "the run goes on unrecorded: " + problem);
        next += std::chrono::duration_cast<Clock::TimePoint::duration>(
            std::chrono::duration<double>(kPollSeconds));
        // A signal is looked at every tenth of a second while the run waits.
        while (!engine.ended() && !SignalStop::received() && lineClock().now() < next)
            lineClock().sleepUntil(std::min(next, secondsFromNow(0.1)));
        if (SignalStop::received() && !engine.ended()) {
            engine.stop();
            alarms.poll();
        }
        // A poll that took longer than the interval is not made up for.
        if (next < lineClock().now()) next = lineClock().now();
    }
    const int status = exitOf(engine.state());
    const std::string unrecorded = host.unrecorded();
    if (unrecorded.empty()) return status;
    // A record with a gap is no record of the firing: told, and not a success.
    fail(0, "run " + formatWhole(host.runId().value_or(0)) + " went unrecorded: " + unrecorded);
    return status == exitstatus::ok ? exitstatus::notConfirmed : status;
}

} // namespace

int runCommand(const HeadlessOptions& options, const Words& words) {
    RunPlan plan;
    if (const int s = planRun(options, words, &plan)) return s;
    if (plan.action == RunAction::status) return runStatus(options);
    if (plan.action == RunAction::stop) return runStop(options);
    if (plan.action == RunAction::proceed) return runContinue(options);
    if (plan.action == RunAction::mark) return runMark(options, plan.mark);
    if (plan.action == RunAction::field) return runFields(options, plan.fields);
    if (plan.action == RunAction::change) return runChange(options, plan.change);
    int rulesStatus = exitstatus::ok;
    std::optional<AlarmRules> rules = commandAlarmRules(options, &rulesStatus);
    if (!rules) return rulesStatus;
    std::optional<NotifySecrets> secrets = commandSecrets(plan.credentials, &rulesStatus);
    if (!secrets) return rulesStatus;
    // A rule's ntfy or webhook sends look up hosts and speak TLS, which
    // report to an application object.
    const SendingApplication sending;
    const bool resume = plan.action == RunAction::resume;
    std::string text;
    FiringProgram program;
    if (!resume) {
        auto loaded = loadFiringProgram(plan.programFile, &text);
        if (const auto* why = std::get_if<std::string>(&loaded))
            return fail(exitstatus::usage, *why);
        program = std::get<FiringProgram>(std::move(loaded));
        // Refused before anything is written: a site's record needs them.
        auto conf = loadRecordsConf(recordsConfPath());
        if (const auto* why = std::get_if<std::string>(&conf)) return fail(exitstatus::usage, *why);
        if (const std::string why = std::get<RecordsConf>(conf).startProblem(plan.fields);
            !why.empty())
            return fail(exitstatus::usage, why);
    }
    std::string why;
    const std::unique_ptr<RunStore> opened = openRunStore(&why);
    if (!opened) return fail(exitstatus::usage, why);
    RunStore& store = *opened;
    tellNotice(store);

    SignalStop signals;
    RunLines lines(options, plan.timeScale);
    const std::string port = portName(lines.commandPort());
    std::optional<StoredRun> open;
    std::vector<NamedZone> zones;
    if (resume) {
        const std::string device = lines.device(lines.commandPort());
        auto held = openRunOn(store, device);
        if (held.failed()) return fail(exitstatus::usage, "the run store " + held.why());
        if (!held.found())
            return fail(exitstatus::usage, "no unfinished run in " + store.path() + " on " + port +
                                               noRunText(store, port, device));
        open = std::move(*held);
        if (const std::string driven = drivenElsewhere(store, *open); !driven.empty())
            return fail(exitstatus::usage, driven);
        auto stored = storedProgram(*open, &why);
        if (!stored) return fail(exitstatus::usage, why);
        program = std::move(*stored);
        if (const std::string elsewhere = lines.storedZones(*open, &zones); !elsewhere.empty())
            return fail(exitstatus::usage, elsewhere);
    } else {
        int status = 0;
        auto named = zonesOf(options, plan, lines.commandPort(), &status);
        if (!named) return status;
        zones = *named;
        // A controller an unfinished run holds is not taken by another, on
        // its device by any name, whoever drives it.
        for (const NamedZone& z : zones) {
            const int id = z.id != 0 ? z.id : lines.defaultId();
            const auto other = runHolding(store, lines.device(z.port), id);
            if (other.failed())
                return fail(exitstatus::usage, "the run store " + other.why() + "; no run starts");
            if (!other.found()) continue;
            const std::string what = other->unfinishedOn(portName(z.port));
            if (!other->driven.empty())
                return fail(exitstatus::usage,
                            what + " id " + formatWhole(id) + ": " + other->driven);
            return fail(exitstatus::usage,
                        what + ": q7 run --resume goes on with it, q7 run --stop ends it");
        }
    }
    if (const int s = lines.open(zones)) return s;

    RunOptions runOptions;
    runOptions.timeScale = plan.timeScale;
    runOptions.startAt = plan.startAt;
    RunHost host(store, [](RunStore& s, long long id) { keepEndedFigures(s, id); });
    if (resume)
        host.resume(std::move(program), *open, lines.engineZones(), runOptions);
    else
        host.begin(std::move(program), text, lines.engineZones(), runOptions);
    RunProgress printed(host.engine(), plan.verbose);
    RunAlarms alarms(std::move(*rules), host, lines);
    alarms.useSecrets(std::move(*secrets));
    host.listen(&printed);
    if (const std::string refused = host.open(resume ? std::string("the run") : plan.programFile);
        !refused.empty())
        return fail(exitstatus::usage, refused);
    // The firing's facts given with it are the first entries of its record.
    for (const RunField& f : plan.fields)
        host.field(wallSeconds(), f);
    for (const std::string& w : host.warnings())
        std::fprintf(stderr, "q7: warning: %s\n", w.c_str());
    std::printf("run %lld: %s on %s\n", *host.runId(), host.engine().program().name.c_str(),
                lines.text().c_str());
    if (const auto& lost = host.recorder().lostDriver())
        std::printf("%s %s\n", clockTextAt(lost->time).c_str(), lost->text.c_str());
    std::printf("%s\n", writesText(host.engine().writes()).c_str());
    if (host.engine().state().startAt)
        std::printf("waiting until %s\n",
                    dayClockText(*host.engine().state().startAt, systemNow(), "%H:%M:%S").c_str());
    std::fflush(stdout);
    return drive(host, alarms);
}
