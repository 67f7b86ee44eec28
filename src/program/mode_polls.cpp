#include "program/mode_polls.h"

#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"

namespace {

// A guarded, prepared read, as both polls and the mode check make it.
Outcome guardedRead(Controller& c, uint16_t reg, uint16_t count) {
    const Transaction t(c.line(), settle::quick);
    return readRegisters(c, reg, count);
}

} // namespace

std::optional<RunStatus> pollRunStatus(Controller& c, int segments) {
    // Without a good reply the controller's state is unknown; a lost reply
    // must not be taken for the end of a program that is still running.
    const Outcome o = guardedRead(c, reg::status, 1);
    if (!o.ok()) return std::nullopt;
    return decodeRunStatus(o.words[0], segments);
}

std::optional<ControlMode> pollTuneEnd(Controller& c) {
    // The mode and the register after it; the whole reply is read, so
    // nothing of it is left for the next request. A lost or garbled reply
    // says nothing about the mode: the next tick asks again rather than
    // announce Off while the controller is still tuning.
    const Outcome o = guardedRead(c, reg::controlMode, 2);
    if (!o.ok()) return std::nullopt;
    c.noteMode(controlModeOf(o.words[0]));
    return decodeTuneEnd(o.words[0]);
}

std::optional<ControlMode> readControlMode(Controller& c) {
    const Outcome o = guardedRead(c, reg::controlMode, 1);
    if (!o.ok()) return std::nullopt;
    c.noteMode(controlModeOf(o.words[0]));
    return c.mode();
}
