#include "monitor/live_reads.h"

#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "params/params_state.h"

namespace {

std::optional<float> readScaled(uint16_t reg) {
    const std::optional<int16_t> raw = validatedRead(reg);
    if (!raw) return std::nullopt;
    return float(sessionController().scale().toValue(*raw));
}

} // namespace

std::optional<float> ReadPVPVOF() {
    return readScaled(reg::pv);
}

std::optional<float> ReadSVSVOF() {
    const std::optional<float> value = readScaled(reg::svRead);
    if (value) {
        sessionController().parmRecord.sv = *value;
        noteHeld(reg::setValue);
    }
    return value;
}

std::optional<uint16_t> ChkAlarmStatus() {
    Transaction t(session(), settle::alarmPause);
    const Outcome status = readRegisters(reg::status);
    t.release();
    if (!status.ok()) return std::nullopt;
    return status.words[0];
}
