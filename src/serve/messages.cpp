#include "serve/messages.h"

#include "params/choice_codes.h"

#include <cctype>
#include <cstdio>
#include <ctime>

std::string modeName(int code) {
    for (const Choice& c : choices::controlMode) {
        if (c.code != code) continue;
        std::string name(c.label);
        for (char& ch : name)
            ch = char(std::tolower(static_cast<unsigned char>(ch)));
        return name;
    }
    return std::to_string(code) + " (unknown)";
}

JsonObject stateValues(const Reading& r) {
    JsonObject o;
    // Without the decimal point no temperature is known to its digit.
    const int digits = r.decimals.value_or(1);
    if (r.pv) o.number("pv", *r.pv, digits);
    if (r.sv) o.number("sv", *r.sv, digits);
    if (r.out) o.number("out", *r.out, 1);
    if (r.manualOut) o.number("manual_out", *r.manualOut, 1);
    if (r.mode) o.text("mode", modeName(*r.mode));
    if (r.unit) o.text("unit", *r.unit);
    if (r.decimals) o.whole("decimals", *r.decimals);
    if (r.alarm1 && r.alarm2)
        o.object("alarms", JsonObject().boolean("alarm1", *r.alarm1).boolean("alarm2", *r.alarm2));
    // null while the program does not run; a running program whose place
    // the controller does not show is an empty object.
    if (r.programRunning) {
        if (!*r.programRunning) {
            o.null("program");
        } else {
            JsonObject at;
            if (r.programStep) at.whole("step", *r.programStep);
            if (r.programSegment) at.whole("segment", *r.programSegment);
            o.object("program", at);
        }
    }
    if (r.run) o.text("run", *r.run);
    if (r.runSegment) o.whole("run_segment", *r.runSegment);
    if (r.runSegments) o.whole("run_segments", *r.runSegments);
    if (r.runCycle) o.whole("run_cycle", *r.runCycle);
    if (r.runCycles) o.whole("run_cycles", *r.runCycles);
    if (r.runSecondsToGo) o.whole("run_time_to_go", *r.runSecondsToGo);
    if (r.runProgram) o.text("run_program", *r.runProgram);
    if (r.runPhase) o.text("run_phase", *r.runPhase);
    if (r.runPlanSv) o.number("run_planned_sv", *r.runPlanSv, 1);
    if (r.runFinish) o.text("run_finish", *r.runFinish);
    if (r.runOutcome) o.text("run_outcome", *r.runOutcome);
    if (r.runSelected) o.text("run_selected", *r.runSelected);
    return o;
}

std::string localIsoTime(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = std::time_t(ms / 1000);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    char date[32], zone[8];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &tm);
    std::strftime(zone, sizeof zone, "%z", &tm);
    char milli[8];
    std::snprintf(milli, sizeof milli, ".%03d", int(ms % 1000));
    // "+0100" as "+01:00".
    const std::string z = zone;
    const std::string offset = z.size() == 5 ? z.substr(0, 3) + ":" + z.substr(3) : z;
    return std::string(date) + milli + offset;
}

std::string stateJson(const Reading& r, std::chrono::system_clock::time_point when) {
    return stateValues(r).text("time", localIsoTime(when)).str();
}

std::string parametersJson(const std::vector<Parameter>& parameters) {
    JsonObject all;
    for (const Parameter& p : parameters) {
        JsonObject one;
        one.text("name", p.name).numeral("value", p.number).text("text", p.text);
        if (!p.unit.empty()) one.text("unit", p.unit);
        all.object(p.key, one);
    }
    return all.str();
}

std::string resultJson(const CommandResult& r) {
    JsonObject o;
    if (!r.command.empty()) o.text("command", r.command);
    const bool mode = r.command == "mode";
    if (r.value)
        mode ? o.text("value", modeName(int(*r.value))) : o.number("value", *r.value, r.digits);
    o.boolean("ok", r.ok);
    if (!r.ok) o.text("reason", r.reason);
    if (r.holds)
        mode ? o.text("holds", modeName(int(*r.holds))) : o.number("holds", *r.holds, r.digits);
    if (!r.run.empty()) o.text("run", r.run).text("run_phase", r.runPhase);
    if (!r.runReason.empty()) o.text("run_reason", r.runReason);
    return o.str();
}
