#include "monitor/live_reads.h"

#include "link/link_state.h"
#include "link/reply_checks.h"
#include "link/transaction.h"
#include "params/params_state.h"
#include "runtime/serial_service.h"

namespace {

std::optional<float> readScaled(const Frame& request, uint16_t controllerId) {
    const std::optional<int16_t> raw = validatedRead(request, controllerId);
    if (!raw) return std::nullopt;
    return float(*raw) / gParams.dpDivisor;
}

} // namespace

std::optional<float> ReadPVPVOF(uint16_t controllerId) {
    return readScaled(templates::pvRead, controllerId);
}

std::optional<float> ReadSVSVOF(uint16_t controllerId) {
    const std::optional<float> value = readScaled(templates::svRead, controllerId);
    if (value) gParams.parmRecord.sv = *value;
    return value;
}

std::optional<uint16_t> ChkAlarmStatus() {
    BusyGuard guard;
    Delay(0.01);
    Frame request = templates::statusRead;
    const Reply reply = exchange(request, gLink.controllerId, 7);
    guard.release();
    const auto word = singleRegisterValue(reply.bytes, reply.count, gLink.controllerId);
    if (!word) return std::nullopt;
    return uint16_t(*word);
}
