#pragma once
// The one poll of a controller, for every caller that watches several:
// the Line panel's turns, the bridge's and `q7 watch`'s samples. It reads
// what the controller holds now into one result, decoded with the register
// table; a value is there only when its own read got a good reply.
//
// The poll is one transaction:
//   - the identification, while the controller's model is not known (its
//     first poll, and again once it fell silent: what answers at its id
//     then may be another device);
//   - the unit and decimal point in one request, on its first poll, after a
//     write to either, and at least every kUnitRereadSeconds, so a change
//     made at the controller's own keys is never unseen for longer;
//   - the output level and mode in one request, when asked for;
//   - PV, SV and the status word in one request of 0x1000-0x1003 where the
//     controller answers it (found out once per controller and kept with
//     it), else one request each.
// The first read that fails ends the poll, so a silent controller costs one
// read.
#include "link/control_mode.h"
#include "link/results.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Controller;

inline constexpr double kUnitRereadSeconds = 10.0;

// What a poll reads besides PV and SV.
struct PollExtras {
    bool modeAndOutput = true;
    bool status = true;
};

struct PollReading {
    std::optional<char> model; // '@' or 'D', as its identification gave it
    std::optional<double> pv, sv;
    std::optional<int> digits; // of pv and sv: its decimal point
    std::optional<int> unit;   // the unit's code (°C, °F)
    std::optional<ControlMode> mode;
    std::optional<double> out;      // the output level, percent
    std::optional<uint16_t> status; // program state high, position low
    // The first read that got no good reply, which ended the poll.
    Fault fault = Fault::none;
    uint8_t exceptionCode = 0;
    uint8_t foreignModel = 0; // a model code that is none of ours
    bool answered = false;    // some good reply came
    // Every register read, in the order read, as the controller gave it.
    std::vector<std::pair<uint16_t, uint16_t>> words;

    bool good() const { return fault == Fault::none && foreignModel == 0; }
    // Why it stands out ("silent: no reply", "damaged reply", "not a Q7
    // controller (model code 0x58)"); empty when the poll went well.
    std::string problem() const;
};

PollReading pollController(Controller& c, const PollExtras& extras = {});

// The output the controller tells, in percent: the output level register
// is the level it takes in Manual, and it is 0 when Off; in its other
// modes the register says nothing of the output, which it does not tell.
inline std::optional<double> reportedOutput(const PollReading& r) {
    if (r.mode == ControlMode::manual) return r.out;
    if (r.mode == ControlMode::off) return 0.0;
    return std::nullopt;
}
