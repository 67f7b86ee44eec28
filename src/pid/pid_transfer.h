#pragma once
// Moving the whole PID block between the record and the controller, apart
// from any panel.
#include "link/results.h"
#include "link/write_ledger.h"
#include "params/bulk_read.h" // readPidBlock: the block's read serves the backup too

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

class Controller;

struct PidWriteResult {
    // Labels of the values their register cannot hold; then nothing was sent.
    std::string misfits;
    // Index into pidFields() of each register not confirmed, and why.
    std::vector<std::pair<std::size_t, Outcome>> failed;
    // Registers sent; fewer than all when the controller stopped answering.
    std::size_t sent = 0;
    bool cancelled = false; // stopped between two registers, as asked
    WriteLedger ledger;     // every register's fate, in sending order
};

// Prepares (0.02 s) and writes the record's block register by register.
PidWriteResult writePidBlock(Controller& c);

// "P band (0x11)": how messages name a register of the block.
std::string pidRegisterLabel(uint16_t reg);
