#pragma once
// What restoring a parameter file would change in the controller, worked out
// before anything is sent. No panel is touched.
#include "link/parm_record.h"

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

struct RestoreChange {
    uint16_t reg;
    std::string was; // as the panel last read it
    std::string becomes;
};

// Every register of the bulk write lands in exactly one of the three, in the
// order the write sends them.
struct RestorePreview {
    std::vector<RestoreChange> changes; // read from the controller, and the file differs
    std::vector<uint16_t> unread;       // never read from (or confirmed by) the controller
    int unchanged = 0;                  // read, and the file holds the same
};

// Compares, register by register of the bulk write, the record the panel
// read (held: which of its registers the controller gave) with the file's.
// Values count as equal when the controller would hold the same value in the
// units each record's decimal point gives, so a file saved from this
// controller compares equal to it.
RestorePreview previewRestore(const ParmRecord& panel, const std::bitset<64>& held,
                              const ParmRecord& file);

// One line per change, "    SV (0x0000): 25.0 → 30.0".
std::string changeLines(const RestorePreview& preview);
// The unread registers' names, comma separated.
std::string unreadNames(const RestorePreview& preview);
