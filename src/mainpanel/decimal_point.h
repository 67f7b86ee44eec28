#pragma once
// Applies the record's decimal point: the scaling factors and the digits
// and limits of every temperature control, on every panel.

class Controller;

// The dynamic property that marks a temperature control in a panel file.
inline constexpr const char* kTemperatureMark = "temperature";
// ... and the one that keeps a temperature control from taking a value below
// zero (a band), whatever the register could hold.
inline constexpr const char* kNeverNegativeMark = "neverNegative";

void AdjDecimal(Controller& c);

// The SV entry's range: the controller's Lo and Hi limits once both are known
// (it refuses a set value outside them), else what the register holds.
void applySetValueLimits(Controller& c);
