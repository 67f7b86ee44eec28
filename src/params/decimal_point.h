#pragma once
// Applies the record's decimal point: the scaling factors and the digits
// every temperature-valued control shows, on every panel.
void AdjDecimal();
