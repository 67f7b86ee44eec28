#include "monitor/live_reads.h"

#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "params/params_state.h"

namespace {

std::optional<float> readScaled(Controller& c, uint16_t reg) {
    const std::optional<int16_t> raw = pollRegister(c, reg);
    if (!raw) return std::nullopt;
    return float(c.scale().toValue(*raw));
}

} // namespace

std::optional<float> ReadPVPVOF(Controller& c) {
    const std::optional<float> value = readScaled(c, reg::pv);
    if (value) c.live.pv.note(*value);
    return value;
}

std::optional<float> ReadSVSVOF(Controller& c) {
    const std::optional<float> value = readScaled(c, reg::svRead);
    if (value) {
        c.parmRecord.sv = *value;
        c.noteHeld(reg::setValue);
        c.live.sv.note(*value);
    }
    return value;
}

std::optional<uint16_t> ChkAlarmStatus(Controller& c) {
    Transaction t(c.line(), settle::alarmPause);
    const Outcome status = readRegisters(c, reg::status);
    t.release();
    if (!status.ok()) return std::nullopt;
    c.live.status.note(status.words[0]);
    return status.words[0];
}
