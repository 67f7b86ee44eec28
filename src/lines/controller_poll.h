#pragma once
// One turn of a controller on the Line panel: what it holds now, read on the
// session's line with the same validated reads as the main panel's polls.
// A value is there only when its own read got a good reply.
#include "link/results.h"

#include <cstdint>
#include <optional>
#include <string>

class Controller;

struct ControllerReading {
    std::optional<char> model; // '@' or 'D', from its identification
    std::optional<double> pv, sv;
    int digits = 0;            // of pv and sv: the decimal point read this turn
    std::optional<int> mode;   // the control mode's code
    std::optional<double> out; // the output level, percent
    // The first read that got no good reply, which ended the turn.
    Fault fault = Fault::none;
    uint8_t exceptionCode = 0;
    uint8_t foreignModel = 0; // a model code that is none of ours
    bool answered = false;    // some good reply came

    bool good() const { return fault == Fault::none && foreignModel == 0; }
    // Why the row stands out ("silent: no reply", "damaged reply", "not a Q7 controller
    // (model code 0x58)"); empty when the turn went well.
    std::string problem() const;
};

// Reads the controller: its model first when knownModel is empty, then the
// decimal point (which scales PV and SV), mode, output, SV and PV. The
// first read that fails ends the turn, so a silent controller costs one
// read.
ControllerReading pollController(Controller& c, std::optional<char> knownModel);
