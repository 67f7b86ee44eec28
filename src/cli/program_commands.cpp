// program get|put|run|stop: the step program through the panel's own
// transfers and ".srp" file, and the run switch's mode writes.
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/exit_status.h"
#include "cli/output_file.h"
#include "cli/report.h"
#include "cli/signal_stop.h"
#include "params/mode_write.h"
#include "params/params_state.h"
#include "program/program_transfer.h"
#include "program/srp_format.h"

namespace {

constexpr const char* kUsage = "get FILE, put [--force] FILE, run or stop";

std::vector<std::string> names(const std::vector<uint16_t>& regs) {
    std::vector<std::string> out;
    for (uint16_t r : regs)
        out.push_back(stepRegisterName(r));
    return out;
}

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
    for (std::size_t i = 0; i < read.steps.size(); ++i)
        if (!read.steps[i]) missing.push_back("step " + std::to_string(i));
    if (!read.band) missing.push_back(kBandName);
    if (!missing.empty())
        return fail(exitstatus::notConfirmed, "the controller gave no good reply for " +
                                                  joinNames(missing) + "; " + notWritten);
    StepProgram program;
    for (std::size_t i = 0; i < read.steps.size(); ++i)
        program.steps[i] = *read.steps[i];
    program.band = *read.band;
    return saveFile(file, formatSrp(program));
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
                      "the controller refused " + joinNames(names(written.refused)));
    if (!written.unconfirmed.empty())
        status = fail(exitstatus::notConfirmed,
                      "the controller did not confirm " + joinNames(names(written.unconfirmed)));
    return status;
}

// The run switch's writes: no guard and no pause, as on the panel.
int runOrStop(ControllerLine& line, bool run) {
    Controller& c = line.controller();
    if (const int s = line.connect()) return s;
    const ControlMode mode = run ? ControlMode::program : ControlMode::off;
    const Outcome o = writeControlMode(c, mode);
    if (!o.ok()) return fail(statusOf(o), modeWriteFailure(o, mode));
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
