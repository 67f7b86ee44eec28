#pragma once
// Sends the parameter record to the controller, register by register. No
// panel is touched.
#include "link/results.h"
#include "link/write_ledger.h"

#include <cstdint>
#include <functional>
#include <vector>

class Controller;

struct BulkWriteResult {
    bool silent = false; // stopped: the controller does not answer
    // How the controller took the decimal point, the first register sent.
    // Anything but a confirmed write stopped the write there: every scaled
    // value after it would be read by the controller with another factor.
    Outcome decimalPoint{Fault::none, 0, {}};
    std::vector<uint16_t> refused;     // exception replies
    std::vector<uint16_t> unconfirmed; // no reply, or not the echo
    bool cancelled = false;            // stopped between two registers, as asked
    WriteLedger ledger;                // every register's fate, in sending order
};

// Called after each register write with the register and what became of it.
using WriteProgress = std::function<void(uint16_t reg, const Outcome& outcome)>;

// Prepares (0.01 s) and writes. Once the decimal point is confirmed its
// scale is applied to every value after it.
BulkWriteResult WriteParmsToMeter(Controller& c, const WriteProgress& progress = {});
