#pragma once
// Values as text: scaled by the decimal point the controller holds, a
// choice by its name and a code no table knows as itself; a parameter's
// record value as messages show it.
#include "link/parm_record.h"
#include "link/scale.h"
#include "params/choice_codes.h"
#include "params/register_map.h"

#include <cstdint>
#include <span>
#include <string>

// "30.0", "2:05", a choice as its code ("1"), a code no table has as
// "99 (unknown)": what a comparison of two records lists.
std::string parameterValueText(const ParmRegister& r, const ParmRecord& rec);
// As the panel shows it: a real with the decimal point in force, a known
// choice as its label ("Rev").
std::string parameterShownText(uint16_t reg, const ParmRecord& rec, Scale scale);

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
