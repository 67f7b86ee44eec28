#include "link/reply_judge.h"

#include "link/crc.h"

#include <algorithm>

bool isExceptionFrame(const uint8_t* bytes, int count) {
    return count == 5 && (bytes[1] & 0x80) && crcMatches(bytes, 5);
}

bool isWholeFrame(const uint8_t* bytes, int count, int expected) {
    return (count == expected && crcMatches(bytes, std::size_t(count))) ||
           isExceptionFrame(bytes, count);
}

Fault judgeReply(const Frame& request, const uint8_t* b, int count, int expected) {
    if (count == 0) return Fault::noReply;
    if (isExceptionFrame(b, count)) {
        if (b[0] != request[0]) return Fault::wrongSlave;
        if ((b[1] & 0x7F) != request[1]) return Fault::wrongFunction;
        return Fault::exception;
    }
    if (count != expected || !crcMatches(b, std::size_t(count))) return Fault::damaged;
    if (b[0] != request[0]) return Fault::wrongSlave;
    if (b[1] != request[1]) return Fault::wrongFunction;
    if (request[1] == kFnWriteSingle)
        return std::equal(request.begin(), request.end(), b) ? Fault::none : Fault::mismatch;
    return b[2] == expected - 5 ? Fault::none : Fault::mismatch;
}

std::vector<uint16_t> replyWords(const uint8_t* reply) {
    std::vector<uint16_t> words;
    for (int i = 0; i < reply[2] / 2; ++i)
        words.push_back(uint16_t(reply[3 + 2 * i] << 8 | reply[4 + 2 * i]));
    return words;
}
