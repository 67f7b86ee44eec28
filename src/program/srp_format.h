#pragma once
// The ".srp" step program file: one line of 41 numbers, per step its set
// value, two times, action and loop count, then the tolerance band.
#include "program/step_program.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Far above any file the writer produces; anything bigger is not ours.
inline constexpr std::size_t kMaxSrpBytes = 16 * 1024;

std::string formatSrp(const StepProgram& program);

// Accepts the 41 numbers separated by any run of spaces, tabs or line breaks.
// Anything else (too few numbers, text, a value its register's field cannot
// take, trailing content) yields nothing and says why, naming the line and
// number. An action no table knows goes to *doubts, for the operator to
// decide on.
std::optional<StepProgram> parseSrp(std::string_view text, std::string* why,
                                    std::vector<std::string>* doubts = nullptr);

// The file at path, read and parsed as above: every load of a step program
// file takes it or refuses it the same way.
std::optional<StepProgram> readSrpFile(const std::string& path, std::string* why,
                                       std::vector<std::string>* doubts = nullptr);

// Why a set value or band cannot be sent or shown where low to high is what
// it takes ("the set value of step 3 (4000.0) is outside ..."); empty when it fits.
std::string valueOutside(double value, double low, double high, const std::string& name);
// The first of the program's set values and band outside low to high.
std::string programOutside(const StepProgram& program, double low, double high);
std::string stepSetValueName(int step);
inline constexpr const char* kBandName = "the tolerance band";
