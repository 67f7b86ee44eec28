#include "program/step_register_name.h"

#include "link/registers.h"

#include <cstdio>

std::string stepRegisterName(uint16_t r) {
    static constexpr const char* kFields[reg::perStep] = {"time 1", "set value", "time 2", "action",
                                                          "loop count"};
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", unsigned(r));
    if (r == reg::band) return std::string(hex) + " (tolerance band)";
    const int offset = r - reg::firstStep;
    if (offset < 0 || offset >= reg::steps * reg::perStep) return hex;
    return std::string(hex) + " (step " + std::to_string(offset / reg::perStep) + " " +
           kFields[offset % reg::perStep] + ")";
}
