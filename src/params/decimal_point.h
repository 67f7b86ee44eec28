#pragma once
// Applies the record's decimal point: the scaling factors and the digits
// and limits of every temperature control, on every panel.

// The dynamic property that marks a temperature control in a panel file.
inline constexpr const char* kTemperatureMark = "temperature";

void AdjDecimal();
