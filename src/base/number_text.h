#pragma once
// Numbers in the program's files. They are written and read the same way on
// every desktop, always with a decimal point: printf's %f and scanf's %f
// follow LC_NUMERIC, which a German or French desktop sets to a comma, and a
// file written there would be refused everywhere, even by this program.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// printf's "%<width>.<precision>f" in the C locale: fixed notation rounded to
// `precision` digits (ties to even on the exact binary value, as printf
// does), right-aligned in at least `width` characters; "-0.00" for a negative
// value that rounds to zero, "inf" and "nan" for the non-finite ones.
std::string formatFixed(double value, int precision, int width = 0);
// printf's "%i": a plain signed decimal integer, never grouped.
std::string formatWhole(long long value);

// The white-space separated tokens of a text (spaces, tabs, line breaks).
std::vector<std::string_view> splitTokens(std::string_view text);
// text without the white space at either end.
std::string_view trimmed(std::string_view text);
// A whole token as a finite real ("25.00", "+1.5", "-2", "1e3"); nothing for
// anything else, a comma included.
std::optional<double> parseReal(std::string_view token);
// A whole token as a decimal integer ("-12", "+7"); nothing for anything else.
std::optional<long long> parseWhole(std::string_view token);

// scanf's way: skips white space, reads the number at the front of text and
// drops it from text. Nothing (and text unchanged) when no number starts there.
std::optional<double> takeReal(std::string_view& text);
std::optional<long long> takeWhole(std::string_view& text);

// Nearest integer; exact halves go away from zero.
long RoundRealToNearestInteger(double value);
// The same for a count (of seconds, of minutes) that a long long holds:
// nothing for a value that is no number or past what it holds, which is
// never rounded into some other count.
std::optional<long long> roundedCount(double value);
