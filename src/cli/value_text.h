#pragma once
// Values as a headless command prints them: scaled by the decimal point the
// controller holds, with its units, a choice by its name and a code no
// table knows as itself.
#include "link/scale.h"
#include "params/choice_codes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// A scaled value in engineering units ("123.4"); from a register word, or
// from the record's field.
std::string scaledText(Scale scale, int16_t word);
std::string scaledText(Scale scale, float value);
// A tenths value ("55.5").
std::string tenthsText(float value);
// The choice's label, or the code itself marked unknown ("99 (unknown)").
std::string choiceText(std::span<const Choice> choices, int code);
// "°C" or "°F" for the unit code; the code itself for an unknown one.
std::string temperatureUnit(int code);
// The run status word: "0x0412 (program running, segment 1)".
std::string statusText(uint16_t word);
