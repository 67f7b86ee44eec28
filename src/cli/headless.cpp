#include "cli/headless.h"

#include "cli/command_args.h"
#include "cli/command_table.h"
#include "cli/controller_line.h"
#include "cli/each_controller.h"
#include "cli/exit_status.h"
#include "cli/report.h"
#include "connection/com_settings_file.h"
#include "serial/port_list.h"
#include "traffic/traffic_tap.h"

#include <cstdio>

namespace {

constexpr const char* kIntro =
    "Usage: q7 [--com N=DEVICE]... [--port N] [--id LIST] [--baud B]\n"
    "          [--simulate[=@|D]] [--trace FILE] [--alarms FILE] COMMAND ...\n"
    "\n"
    "Runs one command against the controller with no display, then ends.\n"
    "--port and --id default to DftCom.prm in the working directory (the panels' last\n"
    "good connection), then to COM1 and id 1; --baud to DftCom.prm, then 19200.\n"
    "Commands never rewrite DftCom.prm. --trace appends every frame on the line to\n"
    "FILE as CSV. --id takes a list (1,3,5-7): the command then runs on each\n"
    "controller in turn, its lines start with the id, a failure names its id, one\n"
    "that fails does not stop the others, and the exit status is the worst.\n"
    "watch and run apply the alarm rules of --alarms FILE, else of alarms.conf in the\n"
    "working directory, else the built-in ones (docs/alarms.md).\n"
    "\n"
    "Commands:\n";

constexpr const char* kOutro =
    "\n"
    "Exit status: 0 done; 1 the controller refused or did not confirm something;\n"
    "2 a usage error or a bad file, with nothing sent; 3 the port does not open or\n"
    "the controller does not answer; 130 or 143 stopped by SIGINT or SIGTERM between\n"
    "two registers. Each failure is one line on stderr.\n"
    "\n"
    "Example: back up one controller and restore it into another\n"
    "  q7 --port 3 --id 1 backup oven1.prm\n"
    "  q7 --port 3 --id 2 restore oven1.prm\n"
    "\n"
    "'q7 help COMMAND' shows a command's options and examples.\n";

// The commands that run on each controller of a list of ids. The writes
// (set, restore, program, pid) go to one controller at a time: a list there
// is refused rather than written to its first id alone.
bool takesIdList(const std::string& name) {
    for (const char* n :
         {"probe", "read", "backup", "get", "watch", "scan", "help", "ports", "run"})
        if (name == n) return true;
    return false;
}

void printOverview() {
    std::fputs(kIntro, stdout);
    for (const Command& c : commandTable())
        std::printf("  %-46.*s %.*s\n", int(c.synopsis.size()), c.synopsis.data(),
                    int(c.summary.size()), c.summary.data());
    std::fputs(kOutro, stdout);
}

} // namespace

int runHeadless(const HeadlessOptions& options) {
    const std::string& name = options.words.front();
    const Command* command = findCommand(name);
    if (!command || !command->run)
        return fail(exitstatus::usage,
                    "no command is called '" + name + "' ('q7 help' lists the commands)");
    if (!options.alarmsFile.empty() && name != "watch" && name != "run" && name != "alarms")
        return usageError(name, "--alarms goes with watch, run and alarms");
    if (options.ids.size() > 1 && !takesIdList(name))
        return usageError(name, name + " works on one controller: give --id one id");
    // The trace starts as the command opens the line (controller_line.cpp):
    // a command refused before then leaves no file.
    TrafficTap tap;
    HeadlessOptions withTap = options;
    withTap.tap = &tap;
    const int status = command->run(withTap, Words(options.words.begin() + 1, options.words.end()));
    // The trace said why it stopped when it did; a script must not take the
    // command's trace for whole.
    if (status == exitstatus::ok && !tap.traceFailure().empty()) return exitstatus::usage;
    return status;
}

int printPorts() {
    // The gateway the panels last connected to, as their port selector shows it.
    if (const auto saved = loadComSettings()) mapSavedEndpoint(*saved);
    const std::vector<std::string> lines = scanAndListPorts(discoveryRoots());
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    if (lines.empty()) std::fprintf(stderr, "q7: no serial ports found\n");
    return exitstatus::ok;
}

int helpCommand(const HeadlessOptions&, const Words& words) {
    if (words.empty()) {
        printOverview();
        return exitstatus::ok;
    }
    const Command* command = words.size() == 1 ? findCommand(words[0]) : nullptr;
    if (!command)
        return usageError("help", "help takes the name of one command, not '" + words[0] + "'");
    std::printf("Usage: q7 [--port N] [--id LIST] [--baud B] %.*s\n  %.*s\n\n%.*s",
                int(command->synopsis.size()), command->synopsis.data(),
                int(command->summary.size()), command->summary.data(), int(command->details.size()),
                command->details.data());
    return exitstatus::ok;
}

int portsCommand(const HeadlessOptions&, const Words& words) {
    if (!words.empty()) return usageError("ports", "ports takes nothing more");
    return printPorts();
}

int probeCommand(const HeadlessOptions& options, const Words& words) {
    if (!words.empty()) return usageError("probe", "probe takes nothing more");
    ControllerLine line(options);
    return forEachController(line, [&](int id) {
        if (const int s = line.connect()) return s;
        std::printf("%s%c\n", idPrefix(line, id).c_str(), line.model());
        return exitstatus::ok;
    });
}
