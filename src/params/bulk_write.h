#pragma once
// Sends the parameter record to the controller, register by register.
#include <cstdint>
#include <vector>

struct BulkWriteResult {
    bool silent = false;            // stopped: the controller does not answer
    std::vector<uint16_t> refused;  // exception replies
    std::vector<uint16_t> unconfirmed; // no reply, or not the echo
};

BulkWriteResult WriteParmsToMeter();
