#include "program/step_register_name.h"

#include "base/hex_text.h"
#include "link/registers.h"

std::string stepRegisterName(uint16_t r) {
    static constexpr const char* kFields[reg::perStep] = {"time 1", "set value", "time 2", "action",
                                                          "loop count"};
    const std::string hex = hexWord(r);
    if (r == reg::band) return hex + " (tolerance band)";
    const int offset = r - reg::firstStep;
    if (offset < 0 || offset >= reg::steps * reg::perStep) return hex;
    return hex + " (step " + std::to_string(offset / reg::perStep) + " " +
           kFields[offset % reg::perStep] + ")";
}

std::vector<std::string> stepRegisterNames(const std::vector<uint16_t>& regs) {
    std::vector<std::string> out;
    for (uint16_t r : regs)
        out.push_back(stepRegisterName(r));
    return out;
}
