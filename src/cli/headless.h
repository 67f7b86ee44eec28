#pragma once
// The headless commands: `q7 [options] COMMAND ...` runs one command, against
// the controller or not, and ends. No display is needed and no panel is
// loaded; the transfers, checks and file formats are the panels' own.
#include <optional>
#include <string>
#include <vector>

class TrafficTap;

struct HeadlessOptions {
    std::optional<int> port;        // --port: the COM number
    std::vector<int> ids;           // --id: the controller ids, in order; empty: not given
    std::optional<long> baud;       // --baud
    std::optional<char> simulate;   // --simulate: the model, '@' or 'D'
    std::string traceFile;          // --trace
    std::string alarmsFile;         // --alarms: the alarm rules of watch and run
    std::vector<std::string> words; // the command and its arguments
    // The command's traffic tap, which --trace writes through: runHeadless
    // makes it for the command; a line given none keeps its own.
    TrafficTap* tap = nullptr;
};

// Runs the command and returns the exit status (exit_status.h).
int runHeadless(const HeadlessOptions& options);

// The serial ports found, one line each on stdout: `q7 ports`, `q7 --list-ports`.
int printPorts();
