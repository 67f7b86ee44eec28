#pragma once
#include "cli/headless.h"

#include <map>
#include <optional>
#include <string>

struct ProgramOptions {
    bool help = false;
    std::optional<char> simulate; // '@' or 'D'
    std::map<int, std::string> comDevices;
    std::string screenshotDir; // save panel pictures after connecting, then end
    bool listPorts = false;    // print the serial ports found and end
    std::string workDir;       // run in this folder, made when missing; empty: stay where started
    // A command runs headless; its line options and words are kept here.
    HeadlessOptions headless;
    std::string error; // set when the command line is not understood
};

ProgramOptions parseOptions(int argc, char** argv);
const char* usageText();
