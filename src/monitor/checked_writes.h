#pragma once
// The set value and the output level as they are set from outside the
// panels (`q7 set`, the bridge): checked against what their register holds
// before anything is sent, written on the panels' own paths, judged by the
// echo, and what the controller holds afterwards found out.
#include "link/results.h"

#include <cstdint>
#include <optional>
#include <string>

class Controller;

struct CheckedWrite {
    std::string notSent;          // why nothing was sent; empty once the write went out
    Outcome outcome;              // the write's, once it went out
    std::optional<uint16_t> held; // the register's word afterwards, when known
    // The set value's Lo/Hi limits could not be read first: nothing was sent.
    std::optional<Outcome> limitsUnread;
};

// Why the value cannot be sent ("does not fit its register with one decimal
// place (-3276.8 to 3276.7)"), or empty. The decimal point in force is the
// one last read from the controller.
std::string setValueProblem(Controller& c, double value);
std::string outputLevelProblem(double percent);

// The set value, in engineering units, with the decimal point read first.
// The controller's Lo and Hi limits are read before it, and a value outside
// them is not sent, as the panel's entry refuses it.
// Rounded to the register's digits before it reaches the record, which
// would otherwise round 123.45 down.
CheckedWrite setSetValue(Controller& c, double value);
// The manual output level, in percent.
CheckedWrite setOutputLevel(Controller& c, double percent);
