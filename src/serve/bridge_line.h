#pragma once
// What the bridge asks of a line: poll a controller, read its parameters,
// and make one checked setting. The bridge publishes what comes back and
// never talks to a controller any other way. Every call runs on the
// bridge's one line thread, one at a time.
#include "link/results.h"
#include "serve/setting.h"

#include <cstdint>
#include <utility>

#include <optional>
#include <string>
#include <vector>

class Controller;

// One poll. A value that did not come from a good reply is absent.
struct Reading {
    bool answered = false; // some good reply came
    std::string why;       // when none came: what came back instead ("no reply", "damaged reply")
    bool stopped = false;  // not made: the bridge is stopping
    std::optional<double> pv, sv;
    // The output the controller tells, percent: the level it takes in
    // Manual, 0 when Off. In its other modes it tells no output, and this
    // is absent.
    std::optional<double> out;
    std::optional<double> manualOut; // the manual output level it holds, percent
    std::optional<int> mode;         // the control mode's code
    std::optional<std::string> unit; // "°C", "°F"
    std::optional<int> decimals;     // 0 or 1
    // From the status word, when it was read:
    std::optional<bool> alarm1, alarm2; // the alarm outputs
    std::optional<bool> programRunning; // its own step program runs
    // Where that program is, while it runs and shows it: step 1-8, and
    // its first or second segment.
    std::optional<int> programStep, programSegment;
    // The firing run the controller is a zone of: the bridge's, not read.
    std::optional<std::string> run;
    // Where that run is: its segment from 1, of how many, in a repeat its
    // cycle of how many, and the seconds its plan has to go.
    std::optional<int> runSegment, runSegments;
    std::optional<int> runCycle, runCycles;
    std::optional<long> runSecondsToGo;
    // Every register the poll read, as the controller gave it (address,
    // word), for the Modbus TCP server to answer other masters with.
    std::vector<std::pair<uint16_t, uint16_t>> words;
    // Where the run's plan had the controller at its last tick, in its unit.
    std::optional<double> runPlanSv;
    // The run's program, its phase ("held back" while holdback keeps it),
    // when its plan ends ("2026-12-08T18:40:00+01:00"), and, once it
    // ended, its outcome; the program the broker selected for run/start.
    std::optional<std::string> runProgram, runPhase, runFinish, runOutcome, runSelected;
};

// One parameter, as `q7 read` lists it.
struct Parameter {
    std::string key, name;
    std::string number; // a JSON number: "25.0", "3"
    std::string text;   // how a person reads it: "25.0", "AT1"
    std::string unit;   // of the number; may be empty
};

struct SettingResult {
    bool ok = false;
    std::string reason;          // why not, when not ok
    std::optional<double> holds; // what the controller holds afterwards (a mode as its code)
    int digits = 1;              // of the value and of holds
    // It was sent and not refused: the controller may hold it now, confirmed or not.
    bool taken = false;
    // Not sent: the value does not fit its register or the controller's limits.
    bool valueRefused = false;
    // What came back instead of a confirmation; noReply too when the
    // controller could not be asked at all.
    Fault fault = Fault::none;
};

class BridgeLine {
  public:
    virtual ~BridgeLine() = default;
    virtual Reading poll(int id) = 0;
    // Every parameter, or nothing (with why) unless all were read.
    virtual std::optional<std::vector<Parameter>> readParameters(int id, std::string* why) = 0;
    // value: sv in engineering units, out in percent, mode its code.
    virtual SettingResult set(int id, Setting what, double value) = 0;
    // The controller at id, connected, for a firing run to drive on this
    // thread between polls; nothing, with why, when it cannot be asked.
    virtual Controller* controller(int id, std::string* why) {
        (void)id;
        *why = "this line drives no firing run";
        return nullptr;
    }
    // Another master's read of count registers from reg, by function 03 or
    // 04, judged as every read is.
    virtual Outcome readWords(int id, uint8_t function, uint16_t reg, uint16_t count) {
        (void)id, (void)function, (void)reg, (void)count;
        return Outcome{};
    }
    // A setting as another master gives it, its register's word: the set
    // value in the decimal point the controller holds when it is written,
    // the output level in tenths of a percent, the mode its code.
    virtual SettingResult setWord(int id, Setting what, uint16_t word) {
        (void)id, (void)what, (void)word;
        return SettingResult{};
    }
};
