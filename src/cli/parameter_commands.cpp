// read, backup and restore: the 26 parameters through the panels' own bulk
// read and write, and the parameter file as the panels write and refuse it.
#include "cli/backup_files.h"
#include "cli/command_args.h"
#include "cli/commands.h"
#include "cli/controller_line.h"
#include "cli/each_controller.h"
#include "cli/exit_status.h"
#include "cli/output_file.h"
#include "cli/report.h"
#include "cli/signal_stop.h"
#include "params/bulk_read.h"
#include "params/bulk_write.h"
#include "params/parameter_backup.h"
#include "params/parameter_file.h"
#include "params/parameter_listing.h"
#include "params/params_state.h"
#include "params/register_map.h"

#include <cstdio>
#include <map>

namespace {

constexpr int kParameters = 26;

std::vector<std::string> parmNames(const std::vector<uint16_t>& regs) {
    std::vector<std::string> out;
    for (uint16_t reg : regs)
        out.push_back(parmRegisterName(reg));
    return out;
}

// What a parameter read that did not come in full ends the command with:
// ok, or the status, once told; `consequence` says what it leaves undone.
int readFailure(const ControllerLine& line, const BulkReadResult& result,
                const std::string& consequence) {
    const std::string after = "after " + std::to_string(result.registersRead) + " of " +
                              std::to_string(kParameters) + " parameters; " + consequence;
    if (result.cancelled) return stoppedBySignal("during the read, " + after);
    if (result.silent) return line.stoppedAnswering(after);
    if (!result.failed.empty())
        return fail(exitstatus::notConfirmed, "the controller gave no good reply for " +
                                                  joinNames(parmNames(result.failed)) + "; " +
                                                  consequence);
    return exitstatus::ok;
}

// Every parameter into the record. ok, or the status to end with.
int readAll(ControllerLine& line, BulkReadResult& result, const std::string& consequence) {
    Controller& c = line.controller();
    {
        Progress progress("Reading parameters", kParameters);
        result = readParameters(c, [&](uint16_t, uint16_t) { progress.step(); });
    }
    return readFailure(line, result, consequence);
}

// One controller's parameters and PID block into file.
int backupOne(ControllerLine& line, const std::string& file) {
    Controller& c = line.controller();
    if (const int s = line.connect()) return s;
    const std::string notWritten = file + " was not written";
    BackupRead read;
    {
        Progress progress("Reading parameters", kParameters);
        read = readBackup(c, [&](uint16_t, uint16_t) { progress.step(); });
    }
    if (const int s = readFailure(line, read.parameters, notWritten)) return s;
    // The file carries the PID block and the cycle time too, and a restore
    // writes them: a backup holding zeros there would wipe the controller's
    // tuning when it is restored.
    if (SignalStop::received() && !read.complete)
        return stoppedBySignal("before the PID block; " + notWritten);
    if (read.pidBlock && !read.pidBlock->ok()) {
        if (read.pidBlock->silent())
            return line.stoppedAnswering("before the PID block; " + notWritten);
        return fail(exitstatus::notConfirmed, "the controller gave no good reply for the PID "
                                              "block (" +
                                                  describe(*read.pidBlock) + "); " + notWritten);
    }
    const auto text = backupFileText(c);
    if (const auto* unread = std::get_if<std::vector<uint16_t>>(&text))
        return fail(exitstatus::notConfirmed,
                    "not read from the controller: " + joinNames(parmNames(*unread)) + "; " +
                        notWritten);
    return saveFile(file, std::get<std::string>(text));
}

} // namespace

int readCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args = parseCommandArgs(words, {"--json"}, {});
    if (const int s = expectWords("read", args, 0, "no file, only --json")) return s;
    const SignalStop signalStop;
    ControllerLine line(options);
    // Several controllers: each listing line after the controller's id, or
    // one JSON object keyed by id.
    const bool json = args.has("--json"), keyed = json && severalControllers(line);
    bool first = true;
    if (keyed) std::fputs("{\n", stdout);
    const int status = forEachController(line, [&](int id) {
        if (const int s = line.connect()) return s;
        BulkReadResult read;
        if (const int s = readAll(line, read, "nothing is listed")) return s;
        const std::string listing = json ? parameterListingJson(line.controller(), read)
                                         : parameterListingText(line.controller(), read);
        if (keyed)
            std::printf("%s\"%d\": %s", first ? "" : ",\n", id,
                        listing.substr(0, listing.size() - 1).c_str());
        else
            std::fputs(withPrefix(idPrefix(line, id), listing).c_str(), stdout);
        first = false;
        return exitstatus::ok;
    });
    if (keyed) std::fputs(first ? "}\n" : "\n}\n", stdout);
    return status;
}

int backupCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args = parseCommandArgs(words, {}, {});
    if (const int s = expectWords("backup", args, 1, "one FILE, a FOLDER or a name with {id}"))
        return s;
    ControllerLine line(options);
    const auto files = backupFiles(args.positional[0], line.ids());
    if (const auto* why = std::get_if<std::string>(&files)) return usageError("backup", *why);
    const std::map<int, std::string>& fileOf = std::get<std::map<int, std::string>>(files);
    for (const auto& [id, file] : fileOf)
        if (const std::string why = cannotWrite(file); !why.empty())
            return fail(exitstatus::usage, why);
    const SignalStop signalStop;
    return forEachController(line, [&](int id) { return backupOne(line, fileOf.at(id)); });
}

int restoreCommand(const HeadlessOptions& options, const Words& words) {
    const CommandArgs args = parseCommandArgs(words, {"--force"}, {});
    if (const int s = expectWords("restore", args, 1, "one FILE")) return s;
    const std::string& file = args.positional[0];
    // Checked whole before the port is even opened: half a configuration
    // must never reach a running controller.
    std::vector<std::string> doubts;
    auto parsed = readParameterFile(file, ParmRecord{}, &doubts);
    if (const auto* problem = std::get_if<std::string>(&parsed))
        return fail(exitstatus::usage, file + ": " + *problem + "; nothing was sent");
    if (const int s = refuseDoubts(file, doubts, args.has("--force"))) return s;

    const SignalStop signalStop;
    ControllerLine line(options);
    if (const int s = line.connect()) return s;
    Controller& c = line.controller();
    c.parmRecord = std::get<ParmRecord>(parsed);
    std::map<uint16_t, Outcome> outcomes;
    BulkWriteResult written;
    {
        Progress progress("Writing parameters", kParameters);
        written = WriteParmsToMeter(c, [&](uint16_t reg, const Outcome& o) {
            outcomes[reg] = o;
            progress.step();
        });
    }
    const std::string sent = written.ledger.inlineText(parmRegisterName);
    if (written.cancelled)
        return stoppedBySignal("during the restore (" + sent + "); restore " + file +
                               " again to send it whole");
    if (!written.decimalPoint.ok()) {
        if (written.decimalPoint.silent())
            return line.stoppedAnswering("at the decimal point (" + sent + ")");
        return fail(exitstatus::notConfirmed,
                    "the controller did not take the file's decimal point (" +
                        describe(written.decimalPoint) +
                        "); nothing else was written, since every temperature depends on it");
    }
    if (written.silent)
        return line.stoppedAnswering("during the restore (" + sent + "); it holds part of " + file +
                                     ": restore it again");

    int status = exitstatus::ok;
    for (uint16_t reg : written.refused)
        status = fail(exitstatus::notConfirmed, "the controller refused " + parmRegisterName(reg) +
                                                    " (" + describe(outcomes[reg]) + ")");
    for (uint16_t reg : written.unconfirmed)
        status = fail(exitstatus::notConfirmed, "the controller did not confirm " +
                                                    parmRegisterName(reg) + " (" +
                                                    describe(outcomes[reg]) + ")");
    // Read back as the panel does, so what the controller holds is known to
    // have been read; a failure here says so.
    BulkReadResult back;
    const int readBack = readAll(line, back, "the restore was not read back in full");
    return readBack != exitstatus::ok ? readBack : status;
}
