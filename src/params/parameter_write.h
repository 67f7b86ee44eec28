#pragma once
// Writing one parameter register from the record: the one way every panel
// write of a parameter goes, so that afterwards the record holds what the
// controller holds. Confirmed, the new value stays. Refused, the controller
// kept its value, and so does the record. A missing or wrong echo says
// nothing of whether the value was taken (a lost echo is the common case on
// a noisy line), so the register is read back; when that fails too, the
// record keeps its value from before the write. The read-back goes on the
// caller's transfer, so a silent controller ends it as any silence does.
#include "link/parm_record.h"
#include "link/transfer.h"

#include <cstdint>
#include <optional>

// The record's field of reg holds the operator's new value; before is the
// record as it stood until the operator changed it.
Outcome writeParameter(Transfer& transfer, uint16_t reg, const ParmRecord& before);

// What reg holds after a write that was not confirmed, read once on the
// caller's transfer; nothing when that fails too.
std::optional<uint16_t> readBack(Transfer& transfer, uint16_t reg);
