// Exception detection: a five-byte reply with the function's high bit and a
// good CRC, and nothing else, ends a read early.
#include "crc_mutator.h"
#include "link/reply_checks.h"
#include "reply_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const FuzzReply r = fuzzReply(data, size);
    const bool exception = isExceptionFrame(r.bytes, r.count);
    if (exception && (r.count != 5 || !(r.bytes[1] & 0x80) || !crcMatches(r.bytes, 5)))
        std::abort();
    // An exception reply is never also a read reply.
    if (exception && isReadReply(r.bytes, r.count, r.bytes[0], 1)) std::abort();
    return 0;
}
