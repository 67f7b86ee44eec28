#pragma once
// Numbers as a person types them (a command's value, a broker message's
// payload) and how any value is rounded to the digits its register holds.
// The commands and the bridge read and round by these alone, so the same
// text sets the same value whichever way it comes.
#include <optional>
#include <string>
#include <string_view>

struct TypedNumber {
    std::optional<double> value;
    // Why the text is no number, to follow the name of what takes it:
    // "takes a number, such as 42.5". It never repeats the text.
    std::string problem;
};

// A whole token as a finite real with a decimal point ("42.5", "-3", "+1e2").
// A decimal comma is refused with a hint, not taken for a point: "1,5" is
// one and a half to some and a list to others, and a script that sends it
// learns at once instead of finding another value written.
TypedNumber parseTypedNumber(std::string_view text);

// value times 10^digits, to the nearest whole number; an exact half goes away
// from zero. The half is judged on the shortest decimal text that stands for
// the value (a float's, when the value is exactly one, as a record's field
// is), not on its binary approximation: 55.55 is held as 55.5499999..., yet
// as typed it is a half and goes to 55.6. Nothing for a value that is not
// finite or whose result is beyond 10^15.
std::optional<long long> roundToSteps(double value, int digits);

// The value rounded so: 55.55 to one digit is 55.6. The value itself when it
// cannot be rounded.
double roundedTo(double value, int digits);
