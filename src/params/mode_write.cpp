#include "params/mode_write.h"

#include "link/registers.h"
#include "link/transfer.h"
#include "params/choice_codes.h"

namespace {

std::string modeName(int mode) {
    for (const Choice& c : choices::controlMode)
        if (c.code == mode) return std::string(c.label);
    return std::to_string(mode);
}

} // namespace

Outcome writeControlMode(int mode) {
    return writeRegister(reg::controlMode, int16_t(mode & 0xFF));
}

std::string modeWriteFailure(const Outcome& outcome, int mode) {
    const std::string named = "control mode " + modeName(mode);
    if (outcome.ok()) return "";
    if (outcome.refused())
        return "The controller refused " + named + " (exception code " +
               std::to_string(outcome.exceptionCode) + ").";
    return "The controller did not confirm " + named + ".";
}
