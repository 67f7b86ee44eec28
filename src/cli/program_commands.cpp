// program get|put|run|stop: the step program through the panel's own
// transfers and ".srp" file, and the run switch's mode writes, each run
// recorded in runs.sqlite with its table.
#include "base/clock.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/exit_status.h"
#include "cli/output_file.h"
#include "cli/report.h"
#include "cli/run_lines.h"
#include "cli/signal_stop.h"
#include "params/mode_write.h"
#include "params/params_state.h"
#include "program/program_transfer.h"
#include "program/srp_format.h"
#include "runs/run_store.h"
#include "runs/step_runs.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr const char* kUsage = "get FILE, put [--force] FILE, run or stop";

int getProgram(ControllerLine& line, const std::string& file) {
    Controller& c = line.controller();
    if (const std::string why = cannotWrite(file); !why.empty())
        return fail(exitstatus::usage, why);
    if (const int s = line.connect()) return s;
    if (const int s = line.readScale()) return s;
    StepProgramRead read;
    {
        Progress progress("Reading the step program");
        read = readStepProgram(c);
    }
    const std::string notWritten = file + " was not written";
    if (read.cancelled) return stoppedBySignal("during the read; " + notWritten);
    if (read.silent) return line.stoppedAnswering("during the read; " + notWritten);
    // A file with a step missing would put zeros in its place on the next put.
    std::vector<std::string> missing;
    const auto program = wholeProgram(read, &missing);
    if (!program)
        return fail(exitstatus::notConfirmed, "the controller gave no good reply for " +
                                                  joinNames(missing) + "; " + notWritten);
    return saveFile(file, formatSrp(*program));
}

int putProgram(ControllerLine& line, const std::string& file, bool forced) {
    Controller& c = line.controller();
    std::string why;
    std::vector<std::string> doubts;
    const auto program = readSrpFile(file, &why, &doubts);
    if (!program) return fail(exitstatus::usage, file + ": " + why + "; nothing was sent");
    if (const int s = refuseDoubts(file, doubts, forced)) return s;
    if (const int s = line.connect()) return s;
    if (const int s = line.readScale()) return s;
    // Past its register a value would wrap into another temperature.
    const auto [low, high] = temperatureLimits(c);
    if (const std::string unfit = programOutside(*program, low, high); !unfit.empty())
        return fail(exitstatus::usage, file + ": " + unfit + "; nothing was sent");
    StepProgramWrite written;
    {
        Progress progress("Writing the step program");
        written = writeStepProgram(c, *program);
    }
    const std::string sent = written.ledger.inlineText(stepRegisterName);
    if (written.cancelled)
        return stoppedBySignal("during the step program write (" + sent +
                               "); the step program in the controller is incomplete");
    if (written.silent)
        return line.stoppedAnswering("during the step program write (" + sent +
                                     "); the step program in it is incomplete");
    int status = exitstatus::ok;
    if (!written.refused.empty())
        status = fail(exitstatus::notConfirmed,
                      "the controller refused " + joinNames(stepRegisterNames(written.refused)));
    if (!written.unconfirmed.empty())
        status =
            fail(exitstatus::notConfirmed, "the controller did not confirm " +
                                               joinNames(stepRegisterNames(written.unconfirmed)));
    return status;
}

// The step program's table as it runs, for its record: empty, with the
// reason told, when it could not be read whole (the run goes on).
std::string tableAsItRuns(ControllerLine& line) {
    if (line.readScale() != exitstatus::ok) return "";
    StepProgramRead read;
    {
        Progress progress("Reading the step program for the run's record");
        read = readStepProgram(line.controller());
    }
    std::vector<std::string> missing{"the whole table"};
    const auto program =
        read.cancelled || read.silent ? std::nullopt : wholeProgram(read, &missing);
    if (program) return formatSrp(*program);
    std::fprintf(stderr, "q7: the run is recorded without its table: no good reply for %s\n",
                 joinNames(missing).c_str());
    return "";
}

// The run switch's writes: no guard and no pause, as on the panel. Each run
// is recorded in the run store; a store that fails is told, and the
// controller's run goes on.
int runOrStop(ControllerLine& line, bool run) {
    Controller& c = line.controller();
    if (const int s = line.connect()) return s;
    const std::string table = run ? tableAsItRuns(line) : "";
    if (run && SignalStop::received()) return stoppedBySignal("before the step program started");
    const ControlMode mode = run ? ControlMode::program : ControlMode::off;
    const Outcome o = writeControlMode(c, mode);
    if (!o.ok()) return fail(statusOf(o), modeWriteFailure(o, mode));
    const std::string port = portName(line.port());
    std::string why;
    std::string notice;
    if (run) {
        auto opened = StepRunRecord::begin(kRunStoreFile, port, line.id(), table, wallSeconds());
        if (auto* refused = std::get_if<std::string>(&opened))
            why = *refused;
        else
            notice = std::get<std::unique_ptr<StepRunRecord>>(opened)->storeNotice();
    } else {
        why = recordStepStop(kRunStoreFile, port, line.id(), wallSeconds(), "q7 program stop",
                             &notice);
    }
    if (!notice.empty()) std::fprintf(stderr, "q7: %s\n", notice.c_str());
    if (why.empty()) return exitstatus::ok;
    std::fprintf(stderr, "q7: the step program %s, unrecorded: %s\n", run ? "runs" : "stopped",
                 why.c_str());
    return exitstatus::ok;
}

} // namespace

int programCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args = parseCommandArgs(words, {"--force"}, {});
    if (!args.error.empty()) return usageError("program", args.error);
    const std::vector<std::string>& w = args.positional;
    const bool forced = args.has("--force");
    if (forced && (w.empty() || w[0] != "put"))
        return usageError("program", "only put takes --force");
    const SignalStop signalStop;
    ControllerLine line(options);
    if (w.size() == 2 && w[0] == "get") return getProgram(line, w[1]);
    if (w.size() == 2 && w[0] == "put") return putProgram(line, w[1], forced);
    if (w.size() == 1 && (w[0] == "run" || w[0] == "stop")) return runOrStop(line, w[0] == "run");
    return usageError("program", std::string("program takes ") + kUsage);
}
