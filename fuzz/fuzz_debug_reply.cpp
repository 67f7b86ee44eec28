// The debug panel shows any reply byte by byte; it must stay within the
// eight bytes it holds, whatever arrived, and show nothing where nothing did.
#include "crc_mutator.h"
#include "link/reply_judge.h"
#include "service/debug_reply.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint8_t reply[8] = {};
    const int count = int(std::min<size_t>(size - 1, sizeof reply));
    std::memcpy(reply, data + 1, std::size_t(count));
    const bool write = data[0] & 1;
    const bool exception = isExceptionFrame(reply, count);
    const DebugReplyView v =
        decodeDebugReply(reply, count, write, exception, Scale::ofDecimalPoint(data[0] & 2));
    if (v.value && !std::isfinite(*v.value)) std::abort();
    if (exception && (v.value || v.dataHigh || v.dataLow)) std::abort();
    // The CRC's place holds a byte exactly when one arrived there.
    const int crc = exception ? 3 : (write ? 4 : 3) + 2;
    if (v.crcHigh.has_value() != (count > crc + 1)) std::abort();
    // The check CRC is the one a good reply of that layout carries.
    if (v.crcLow && v.crcHigh &&
        crcMatches(reply, std::size_t(crc + 2)) !=
            (v.checkCrcLow == v.crcLow && v.checkCrcHigh == v.crcHigh))
        std::abort();
    if (debugReplyStatus(count, write ? 8 : 7, exception, Fault::none, reply).empty()) std::abort();
    return 0;
}
