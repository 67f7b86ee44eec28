#pragma once
// What a controller holds, as the parameters see it: which record fields it
// gave, and the scale its decimal point sets. The record, the held fields
// and the scale are the controller's (link/controller.h).
#include "link/controller.h"

#include <cstdint>

// The record takes values the controller did not give (a file, the
// operator's entries): every register whose value they change is no longer
// held.
void takeIntoRecord(Controller& c, const ParmRecord& values);
// Sets the scale from the record's decimal point. A change of
// scale leaves no scaled register held.
void applyDecimalScale(Controller& c);

// What a temperature entry takes with the scale in force: whatever fits the
// 16 bits of its register.
struct TemperatureLimits {
    double low, high;
};
TemperatureLimits temperatureLimits(const Controller& c);

// What the controller takes as a set value: its Lo to Hi limits once both
// were read from it and Lo is not above Hi, else what the register holds.
TemperatureLimits setValueLimits(const Controller& c);
