#include "params/mode_write.h"

#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "params/choice_codes.h"

#include <cctype>

std::string modeName(ControlMode mode) {
    for (const Choice& c : choices::controlMode)
        if (c.code == codeOf(mode)) return std::string(c.label);
    return std::to_string(codeOf(mode));
}

Outcome writeControlMode(Controller& c, ControlMode mode) {
    const Outcome o = writeRegister(c, reg::controlMode, int16_t(codeOf(mode)));
    if (o.ok()) c.noteMode(mode);
    return o;
}

Outcome writeModeGuarded(Controller& c, ControlMode mode) {
    const Transaction t(c.line(), settle::quick);
    return writeControlMode(c, mode);
}

std::optional<ControlMode> settableMode(std::string_view name) {
    for (const Choice& c : choices::controlMode) {
        if (c.code == codeOf(ControlMode::program) || c.label.size() != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size(); ++i)
            same = same && std::tolower(static_cast<unsigned char>(c.label[i])) ==
                               std::tolower(static_cast<unsigned char>(name[i]));
        if (same) return ControlMode(c.code);
    }
    return std::nullopt;
}

std::string modeWriteFailure(const Outcome& outcome, ControlMode mode) {
    const std::string named = "control mode " + modeName(mode);
    if (outcome.ok()) return "";
    if (outcome.refused())
        return "The controller refused " + named + " (exception code " +
               std::to_string(outcome.exceptionCode) + ").";
    return "The controller did not confirm " + named + ".";
}
