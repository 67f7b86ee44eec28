// The PID block reply: the judgement, then the decoding of its eleven
// registers into the record, at every decimal point.
#include "crc_mutator.h"
#include "link/reply_judge.h"
#include "params/encodings.h"
#include "pid/pid_block.h"
#include "reply_input.h"

#include <cmath>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const FuzzReply r = fuzzReply(data, size);
    const Frame request = fuzzRequest(r.selector, kFnReadHolding, reg::pidFirst, kPidRegisterCount);
    if (judgeReply(request, r.bytes, r.count, impliedReplyLength(request)) != Fault::none) return 0;
    if (r.count != 5 + 2 * kPidRegisterCount) std::abort();
    const std::vector<uint16_t> words = replyWords(r.bytes);
    if (words.size() != std::size_t(kPidRegisterCount)) std::abort();
    for (Scale divisor : {Scale{}, Scale::ofDecimalPoint(1)}) {
        ParmRecord record;
        for (std::size_t k = 0; k < words.size(); ++k) {
            const PidField& f = pidFields()[k];
            setPidFromRegister(f, record, int16_t(words[k]), divisor);
            // What came from a register goes back into the same register.
            if (pidRegisterValue(f, record, divisor) != int16_t(words[k])) std::abort();
            if (f.real && !std::isfinite(record.*f.real)) std::abort();
            if (f.real && !realFitsRegister(f.encoding, record.*f.real, divisor)) std::abort();
        }
        // A controller may hold what our ranges refuse (a cycle time of
        // 2560): the check names it, and must not fault on it.
        (void)pidMisfits(record, divisor);
    }
    return 0;
}
