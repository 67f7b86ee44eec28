#pragma once
// Splitting a text file into white-space separated numbers, for the readers
// of the program's own files.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

std::vector<std::string_view> splitWhitespace(std::string_view text);
// A whole token as a finite or infinite real; nullopt when it is not a number.
std::optional<double> parseReal(std::string_view token);
// A whole token as a decimal integer; nullopt when it is not one.
std::optional<long> parseInteger(std::string_view token);
