// pid get|put: the PID block through the PID panel's own transfers and file.
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/exit_status.h"
#include "cli/output_file.h"
#include "cli/report.h"
#include "cli/signal_stop.h"
#include "params/params_state.h"
#include "pid/pid_block.h"
#include "pid/pid_file.h"
#include "pid/pid_transfer.h"

namespace {

// The block into the record. ok, or the status to end with; then
// `consequence` says what that leaves undone.
int readBlock(ControllerLine& line, const std::string& consequence) {
    Controller& c = line.controller();
    const Outcome o = readPidBlock(c);
    if (o.ok()) return exitstatus::ok;
    if (o.silent()) return line.stoppedAnswering("before the PID block; " + consequence);
    return fail(exitstatus::notConfirmed, "the controller gave no good reply for the PID block (" +
                                              describe(o) + "); " + consequence);
}

int getPid(ControllerLine& line, const std::string& file) {
    Controller& c = line.controller();
    if (const std::string why = cannotWrite(file); !why.empty())
        return fail(exitstatus::usage, why);
    if (const int s = line.connect()) return s;
    if (const int s = line.readScale()) return s;
    if (const int s = readBlock(line, file + " was not written")) return s;
    return saveFile(file, formatPidFile(c.parmRecord));
}

int putPid(ControllerLine& line, const std::string& file) {
    Controller& c = line.controller();
    std::string why;
    if (!readPidFile(file, &c.parmRecord, &why))
        return fail(exitstatus::usage, file + ": " + why + "; nothing was sent");
    if (const int s = line.connect()) return s;
    // The scaled values of the block are sent with the controller's own scale.
    if (const int s = line.readScale()) return s;
    const PidWriteResult written = writePidBlock(c);
    if (!written.misfits.empty())
        return fail(exitstatus::usage, file + " holds values too large for their registers: " +
                                           written.misfits + "; nothing was sent");
    const auto& fields = pidFields();
    const std::string sent = written.ledger.inlineText(pidRegisterLabel);
    if (written.cancelled) return stoppedBySignal("during the PID write (" + sent + ")");
    int status = exitstatus::ok;
    for (const auto& [k, o] : written.failed)
        status =
            fail(exitstatus::notConfirmed, std::string("the controller ") +
                                               (o.refused() ? "refused " : "did not confirm ") +
                                               fields[k].label + " (" + describe(o) + ")");
    if (written.sent < fields.size())
        return line.stoppedAnswering("during the PID write (" + sent + ")");
    // Read back as the PID panel does after a load.
    const int readBack = readBlock(line, "the write was not read back");
    return readBack != exitstatus::ok ? readBack : status;
}

} // namespace

int pidCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args = parseCommandArgs(words, {}, {});
    if (!args.error.empty()) return usageError("pid", args.error);
    const std::vector<std::string>& w = args.positional;
    const SignalStop signalStop;
    ControllerLine line(options);
    if (w.size() == 2 && w[0] == "get") return getPid(line, w[1]);
    if (w.size() == 2 && w[0] == "put") return putPid(line, w[1]);
    return usageError("pid", "pid takes get FILE or put FILE");
}
