// watch: SV and PV read as the chart reads them, printed with an ISO-8601
// time, and with --log written in the data log's own format, so one log
// file serves the chart and the shell alike. Each sample goes through the
// alarm rules; their events are printed on stderr, so the samples on stdout
// stay one format for a script to read.
#include "alarms/alarm_engine.h"
#include "alarms/alarm_observation.h"
#include "alarms/notifier.h"
#include "base/number_text.h"
#include "base/time_text.h"
#include "base/typed_number.h"
#include "chart/data_log.h"
#include "cli/alarm_host.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/each_controller.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "link/controller.h"
#include "monitor/controller_poll.h"
#include "params/params_state.h"
#include "params/value_text.h"
#include "runs/open_runs.h"
#include "traffic/traffic_tap.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <map>
#include <sys/stat.h>

namespace {

struct WatchPlan {
    double interval = 1.0;
    long count = 0; // 0: until interrupted
    std::string logFile;
    std::optional<std::string> credentials; // --credentials: the rules' secrets
};

int planWatch(const Words& words, WatchPlan* plan) {
    const CommandArgs args =
        parseCommandArgs(words, {}, {"--interval", "--count", "--log", "--credentials"});
    if (const int s =
            expectWords("watch", args, 0, "only --interval, --count, --log and --credentials"))
        return s;
    plan->credentials = args.value("--credentials");
    if (const auto v = args.value("--interval")) {
        const TypedNumber number = parseTypedNumber(*v);
        if (!number.value) return usageError("watch", "'" + *v + "': --interval " + number.problem);
        const double seconds = *number.value;
        // The reads of one sample take about 0.1 s; a day is the longest sensible pause.
        if (seconds < 0.1 || seconds > 86400)
            return usageError("watch",
                              "--interval takes seconds from 0.1 to 86400, not '" + *v + "'");
        plan->interval = seconds;
    }
    if (const auto v = args.value("--count")) {
        const auto n = parseWhole(*v);
        if (!n || *n < 1) return usageError("watch", "--count takes 1 or more, not '" + *v + "'");
        plan->count = long(*n);
    }
    plan->logFile = args.value("--log").value_or("");
    return exitstatus::ok;
}

// A log that exists is added to, never overwritten; a new or empty one
// starts with the header, as the chart's log does.
int openLog(DataLog& log, const std::string& path) {
    struct stat st {};
    const bool append = stat(path.c_str(), &st) == 0 && st.st_size > 0;
    std::string why;
    if (!log.open(path, append, &why))
        return fail(exitstatus::usage, "cannot write the log " + path + ": " + why);
    return exitstatus::ok;
}

// SIGINT and SIGTERM end the watch between samples; they wait while a
// sample is on the line, so no sample and no log line is cut short.
class StopSignals {
  public:
    StopSignals() {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        sigprocmask(SIG_BLOCK, &set_, &old_);
    }
    ~StopSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
    // Waits until the deadline; false when a stop signal came first.
    bool sleepUntil(std::chrono::steady_clock::time_point deadline) {
        for (;;) {
            const auto left = deadline - std::chrono::steady_clock::now();
            // A sample that took longer than the interval leaves no pause,
            // but a signal that came meanwhile still ends the watch.
            if (left <= std::chrono::steady_clock::duration::zero()) {
                const timespec none{0, 0};
                return sigtimedwait(&set_, nullptr, &none) < 0;
            }
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            const timespec wait{time_t(ns / 1000000000), long(ns % 1000000000)};
            if (sigtimedwait(&set_, nullptr, &wait) > 0) return false;
        }
    }

  private:
    sigset_t set_{}, old_{};
};

// What the rules need read besides SV and PV: the status word for the
// alarm outputs, the mode and output level for `out`, and the mode for
// `deviation` (none while Off or in Manual). Nothing more goes on the line
// for rules that do not look at them.
PollExtras extrasFor(const AlarmRules& rules) {
    return {.modeAndOutput =
                rules.usesQuantity(Quantity::out) || rules.usesQuantity(Quantity::deviation),
            .status = rules.uses(Condition::Kind::alarm1) || rules.uses(Condition::Kind::alarm2)};
}

void observe(AlarmEngine& alarms, ControllerLine& line, int id, const PollReading& r) {
    const bool silent = line.controller().health().silent() || r.fault == Fault::lineLost;
    alarms.observe(alarmObservation(portName(line.port()), id, silent, polledValues(r)));
}

// Where a controller's readings stopped: the wall time of the first
// sample without one; negative while it answers.
struct Gap {
    double since = -1;
};

// One sample of one controller, printed and logged: its SV and PV, read
// by the one poll, in the decimal point it holds, and handed to the alarm
// rules. ok, with *printed set when a line went out; notConfirmed for a
// reading it refused or garbled; noController once the port cannot be
// opened again; usage when the log or the trace cannot be written. A
// silence or a lost line is a gap, told once as it starts and once as it
// ends: the watch goes on through it, as a kiln is watched overnight.
int sampleOne(ControllerLine& line, int id, DataLog& log, const std::string& logFile,
              AlarmEngine& alarms, Gap& gap, bool* printed) {
    *printed = false;
    line.useId(id);
    const FailuresOfId named(severalControllers(line) ? id : 0);
    if (const int s = line.reopen()) return s;
    Controller& c = line.controller();
    const PollReading r = pollController(c, extrasFor(alarms.rules()));
    observe(alarms, line, id, r);
    const std::time_t at = std::time(nullptr);
    std::tm tm{};
    localtime_r(&at, &tm);
    const std::string now = localIsoText(double(at));
    if (!r.sv || !r.pv) {
        // A gap, as on the chart: an old reading under a new time would falsify the record.
        const bool silence =
            r.fault == Fault::lineLost || r.fault == Fault::noReply || c.health().silent();
        if (!silence)
            return fail(exitstatus::notConfirmed,
                        "no reading at " + now + " (" + describe(r.fault, r.exceptionCode) + ")");
        if (gap.since < 0) {
            gap.since = double(at);
            fail(exitstatus::ok, "no reading from " + line.where() + " at " + now + " (" +
                                     describe(r.fault, r.exceptionCode) + "); watching on");
        }
        return exitstatus::ok;
    }
    if (gap.since >= 0) {
        fail(exitstatus::ok, line.where() + " answers again at " + now + ", after " +
                                 std::to_string(long(double(at) - gap.since)) +
                                 " s without a reading");
        gap.since = -1;
    }
    *printed = true;
    const Scale scale = c.scale();
    const float svValue = float(*r.sv);
    const float pvValue = float(*r.pv);
    const std::string shown =
        now + ", " + scaledText(scale, svValue) + ", " + scaledText(scale, pvValue);
    if (severalControllers(line))
        std::printf("%d, %s\n", id, shown.c_str());
    else
        std::printf("%s\n", shown.c_str());
    std::fflush(stdout);
    // A trace that stopped (a full disk) ends the watch as a log would.
    if (!line.tap().traceFailure().empty()) return exitstatus::usage;
    if (logFile.empty()) return exitstatus::ok;
    std::string why;
    if (!log.write(formatLogLine(tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900, now.substr(11, 8),
                                 svValue, pvValue),
                   &why))
        return fail(exitstatus::usage, "cannot write the log " + logFile + ": " + why);
    return exitstatus::ok;
}

} // namespace

int watchCommand(const HeadlessOptions& options, const Words& words) {
    WatchPlan plan;
    if (const int s = planWatch(words, &plan)) return s;
    // The data log holds one controller's SV and PV.
    if (!plan.logFile.empty() && options.ids.size() > 1)
        return usageError("watch", "--log writes one controller's log; name one --id with it");
    int rulesStatus = exitstatus::ok;
    const std::optional<AlarmRules> rules = commandAlarmRules(options, &rulesStatus);
    if (!rules) return rulesStatus;
    const std::optional<NotifySecrets> secrets = commandSecrets(plan.credentials, &rulesStatus);
    if (!secrets) return rulesStatus;
    // A rule's ntfy or webhook sends look up hosts and speak TLS, which
    // report to an application object.
    const SendingApplication sending;
    StopSignals signals;
    ControllerLine line(options);
    // The log is made only once the port is open: a watch that cannot start
    // leaves no file behind. No request has gone out yet.
    if (const int s = line.open()) return s;
    DataLog log; // closed as the watch ends, however it ends
    if (!plan.logFile.empty())
        if (const int s = openLog(log, plan.logFile)) return s;
    HostAlarmActions actions;
    useCommandHost(actions, stderr, &log);
    actions.controllerFor = [&line](const std::string& port, int id) -> Controller* {
        if (port != portName(line.port())) return nullptr;
        line.useId(id);
        return &line.controller();
    };
    AlarmEngine alarms(*rules, actions);
    alarms.notifier().setSecrets(*secrets);
    actions.useRules(alarms.rules());

    std::vector<int> watched;
    int status = forEachController(line, [&](int id) {
        if (const int s = line.connect()) return s;
        if (const int s = line.readScale()) return s;
        watched.push_back(id);
        return exitstatus::ok;
    });
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(plan.interval));
    // --count counts the lines each controller printed: a gap takes none of them.
    std::map<int, long> printed;
    std::map<int, Gap> gaps;
    auto next = std::chrono::steady_clock::now();
    for (bool first = true; !watched.empty(); first = false) {
        if (!first && !signals.sleepUntil(next)) break;
        next += period;
        // A sample that took longer than the interval is not made up for.
        if (next < std::chrono::steady_clock::now()) next = std::chrono::steady_clock::now();
        for (auto w = watched.begin(); w != watched.end();) {
            bool out = false;
            const int s = sampleOne(line, *w, log, plan.logFile, alarms, gaps[*w], &out);
            status = std::max(status, s);
            // A failed log or trace, or a port that will not open again, ends the watch.
            if (s == exitstatus::usage || s == exitstatus::noController) return s;
            if (out) ++printed[*w];
            w = plan.count != 0 && printed[*w] >= plan.count ? watched.erase(w) : w + 1;
        }
    }
    return status;
}
