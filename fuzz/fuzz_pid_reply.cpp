// The PID block reply: the check, then the decoding of its eleven registers
// into the record, at every decimal point.
#include "crc_mutator.h"
#include "link/reply_checks.h"
#include "pid/pid_block.h"
#include "reply_input.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const FuzzReply r = fuzzReply(data, size);
    if (!isReadReply(r.bytes, r.count, r.selector, kPidRegisterCount)) return 0;
    if (r.count != kPidReplyLength) std::abort();
    for (float divisor : {1.0f, 10.0f}) {
        ParmRecord record;
        for (int k = 0; k < kPidRegisterCount; ++k) {
            const PidField& f = pidFields()[std::size_t(k)];
            const int16_t reg = signedWord(r.bytes[3 + 2 * k], r.bytes[4 + 2 * k]);
            setPidFromRegister(f, record, reg, divisor);
            // What came from a register goes back into the same register.
            if (pidRegisterValue(f, record, divisor) != reg) std::abort();
            if (f.real && !std::isfinite(record.*f.real)) std::abort();
        }
        if (!pidMisfits(record, divisor).empty()) std::abort();
    }
    return 0;
}
