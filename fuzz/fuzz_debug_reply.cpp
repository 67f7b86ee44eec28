// The debug panel shows any reply byte by byte; it must stay within the
// eight bytes it holds, whatever arrived.
#include "crc_mutator.h"
#include "service/debug_reply.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint8_t reply[8] = {};
    std::memcpy(reply, data + 1, std::min<size_t>(size - 1, sizeof reply));
    const bool write = data[0] & 1;
    const DebugReplyView v = decodeDebugReply(reply, write, (data[0] & 2) ? 10.0f : 1.0f);
    if (!std::isfinite(v.value)) std::abort();
    // The check CRC is the one a good reply of that layout carries.
    const int data0 = write ? 4 : 3;
    if (crcMatches(reply, std::size_t(data0 + 4)) !=
        (v.checkCrcLow == v.crcLow && v.checkCrcHigh == v.crcHigh))
        std::abort();
    return 0;
}
