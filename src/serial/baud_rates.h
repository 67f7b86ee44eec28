#pragma once
// The baud rates a line runs at, wherever one is named: on the command line
// or in the bridge's config.

inline constexpr long kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

inline bool standardBaud(long baud) {
    for (long b : kBaudRates)
        if (b == baud) return true;
    return false;
}
