#pragma once
// The baud rates a line runs at, wherever one is named: on the command line
// or in the bridge's config.
#include <string>

inline constexpr long kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// "1200, 2400, ..., 115200", for messages.
inline std::string baudRateList() {
    std::string out;
    for (long b : kBaudRates)
        out += (out.empty() ? "" : ", ") + std::to_string(b);
    return out;
}

inline bool standardBaud(long baud) {
    for (long b : kBaudRates)
        if (b == baud) return true;
    return false;
}
