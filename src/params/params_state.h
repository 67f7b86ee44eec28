#pragma once
// What the panels' controller holds, as the parameters see it: which record
// fields it gave, and the scale its decimal point sets. The record, the held
// fields and the scale are the controller's (link/controller.h).
#include "link/controller.h"

#include <cstdint>

// The controller gave the record's value of reg (read, or confirmed a write).
void noteHeld(uint16_t reg);
bool isHeld(uint16_t reg);
// The record's value of reg may no longer be the controller's.
void forgetHeld(uint16_t reg);
// A new connection: nothing in the record has been given by the controller
// at the other end yet, whatever an earlier one gave.
void forgetAllHeld();
// The record takes values the controller did not give (a file, the
// operator's entries): every register whose value they change is no longer
// held.
void takeIntoRecord(const ParmRecord& values);
// Sets the scale from the record's decimal point. A change of
// scale leaves no scaled register held.
void applyDecimalScale();

// What a temperature entry takes with the scale in force: whatever fits the
// 16 bits of its register.
struct TemperatureLimits {
    double low, high;
};
TemperatureLimits temperatureLimits();

// What the controller takes as a set value: its Lo to Hi limits once both
// were read from it and Lo is not above Hi, else what the register holds.
TemperatureLimits setValueLimits();
