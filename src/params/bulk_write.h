#pragma once
// Sends the parameter record to the controller, register by register.
#include "link/register_write.h"

#include <cstdint>
#include <vector>

struct BulkWriteResult {
    bool silent = false; // stopped: the controller does not answer
    // How the controller took the decimal point, the first register sent.
    // Anything but Confirmed stopped the write there: every scaled value
    // after it would be read by the controller with another factor.
    WriteOutcome decimalPoint = WriteOutcome::Confirmed;
    uint8_t decimalPointRefusal = 0;   // exception code when it was refused
    std::vector<uint16_t> refused;     // exception replies
    std::vector<uint16_t> unconfirmed; // no reply, or not the echo
};

BulkWriteResult WriteParmsToMeter();
