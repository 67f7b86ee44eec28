// Exception replies: five bytes with the function's high bit and a good CRC,
// and nothing else, end a read early; only the addressed slave's exception
// for the function asked is a refusal.
#include "crc_mutator.h"
#include "link/reply_judge.h"
#include "reply_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const FuzzReply r = fuzzReply(data, size);
    const bool exception = isExceptionFrame(r.bytes, r.count);
    if (exception && (r.count != 5 || !(r.bytes[1] & 0x80) || !crcMatches(r.bytes, 5)))
        std::abort();
    const Frame write = fuzzRequest(r.selector, kFnWriteSingle, reg::setValue, 300);
    const Fault verdict = judgeReply(write, r.bytes, r.count, 8);
    if (verdict == Fault::exception &&
        (!exception || r.bytes[0] != r.selector || r.bytes[1] != 0x86))
        std::abort();
    // An exception reply is never also a good reply.
    if (exception && verdict == Fault::none) std::abort();
    if (verdict == Fault::none && !std::equal(write.begin(), write.end(), r.bytes)) std::abort();
    return 0;
}
