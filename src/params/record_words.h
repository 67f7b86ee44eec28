#pragma once
// A parameter's record value as its register word, and back.
#include <cstdint>
#include <optional>

class Controller;

// The record's value of reg as the controller's register holds it (scaled
// by the decimal point in force); nothing when the register cannot hold it,
// or reg is outside the record.
std::optional<int16_t> recordWord(const Controller& c, uint16_t reg);
// Puts a word read from the controller into the record, and notes that the
// controller gave it. Registers outside the record are ignored.
void storeWord(Controller& c, uint16_t reg, uint16_t word);
