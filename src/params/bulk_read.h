#pragma once
// Reading every parameter the main panel shows from the controller into the
// record, register by register, in the order the controller expects. No
// panel is touched: a caller that shows the values passes a progress call.
#include "link/control_mode.h"
#include "link/results.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class Controller;

struct BulkReadResult {
    std::vector<uint16_t> failed; // registers with no good reply; the record keeps their values
    bool silent = false;          // stopped early: the controller does not answer
    int registersRead = 0;
    int asked = 0;                   // registers asked for before the read ended
    bool cancelled = false;          // stopped between two registers, as the operator asked
    std::optional<ControlMode> mode; // the control mode, when it was read
};

// Called after each register read and stored, with its register word; the
// decimal point's scale is applied before its call.
using ParameterProgress = std::function<void(uint16_t reg, uint16_t word)>;

// Prepares (0.02 s) and reads. The decimal point goes first, so every scaled
// value after it is divided by the divisor it implies.
BulkReadResult readParameters(Controller& c, const ParameterProgress& progress = {});

// Prepares (0.02 s) and reads the PID block (reg::pidFirst on) in one
// request, asked again by the retry policy. Only a good reply reaches the
// record; any other leaves it as it was.
Outcome readPidBlock(Controller& c);

// Prepares (0.02 s) and reads the decimal point alone, as the bulk read
// starts, for a transfer that scales values without the other parameters.
// A good reply goes into the record and sets the scale; any other leaves
// both as they were.
Outcome readDecimalPoint(Controller& c);

// Prepares (0.02 s) and reads the Lo and Hi limits in one request: the range
// the controller takes a set value in. A good reply goes into the record.
Outcome readSetValueLimits(Controller& c);
