#pragma once
// The ".srp" step program file: one line of 41 numbers, per step its set
// value, two times, action and loop count, then the tolerance band.
#include "program/step_program.h"

#include <optional>
#include <string>
#include <string_view>

std::string formatSrp(const StepProgram& program);

// Accepts the 41 numbers separated by any run of spaces, tabs or line breaks.
// Anything else (too few numbers, text, an integer outside 0-65535, a value
// no register holds, trailing content) yields nothing and says why.
std::optional<StepProgram> parseSrp(std::string_view text, std::string* why);
