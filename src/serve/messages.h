#pragma once
// The bridge's JSON payloads: a controller's state, its parameters, and the
// result of a command.
#include "base/json_writer.h"
#include "serve/bridge_line.h"

#include <chrono>
#include <string>

// The state's values without their time: two polls that read the same give
// the same text, which is how a change is told.
JsonObject stateValues(const Reading& r);
// ... and with the time they were read: "2026-12-08T10:15:02.123+01:00".
std::string stateJson(const Reading& r, std::chrono::system_clock::time_point when);
std::string localIsoTime(std::chrono::system_clock::time_point when);

std::string parametersJson(const std::vector<Parameter>& parameters);

// What became of a command. value and holds are numbers for sv and out, a
// mode's name for mode; either may be absent.
struct CommandResult {
    std::string command; // "sv", "mode", "out", "parameters"; empty when not known
    std::optional<double> value;
    bool ok = false;
    std::string reason;
    std::optional<double> holds;
    int digits = 1;
    // A setting made on a zone of a firing run: the run, its phase after
    // it ("paused": the setting paused it) and why it is paused.
    std::string run = {}, runPhase = {}, runReason = {};
};
std::string resultJson(const CommandResult& r);

// "off", "on", "at1", "at2", "manual", "program", or "99 (unknown)".
std::string modeName(int code);
