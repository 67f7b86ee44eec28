#include "program/transfer_checks.h"

#include <algorithm>
#include <cstdio>

bool isGoodReadReply(const Reply& reply, uint16_t slaveId, int registers) {
    const int length = 5 + 2 * registers;
    return reply.complete(length) && reply.bytes[0] == uint8_t(slaveId & 0xFF) &&
           reply.bytes[1] == kFnReadHolding && reply.bytes[2] == 2 * registers;
}

bool isGoodEcho(const Reply& reply, const Frame& request) {
    return reply.count == 8 && std::equal(request.begin(), request.end(), reply.bytes);
}

std::string registerName(uint16_t reg) {
    static constexpr const char* kFields[kRegistersPerStep] = {"time 1", "set value", "time 2",
                                                               "action", "loop count"};
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", unsigned(reg));
    if (reg == kBandRegister) return std::string(hex) + " (tolerance band)";
    const int offset = reg - kFirstStepRegister;
    if (offset < 0 || offset >= 8 * kRegistersPerStep) return hex;
    return std::string(hex) + " (step " + std::to_string(offset / kRegistersPerStep) + " " +
           kFields[offset % kRegistersPerStep] + ")";
}
