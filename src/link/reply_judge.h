#pragma once
// The one judgement of a reply against the request it answers, kept free of
// any port so that it can be tested and fuzzed on its own. It looks in this
// order: any reply at all, a complete exception reply, length and CRC, slave
// address, function, and whether it answers this very request (the byte
// count of a read, the whole echo of a write).
#include "link/frames.h"
#include "link/results.h"

#include <cstdint>
#include <vector>

// Five bytes, the function's high bit set, a good CRC.
bool isExceptionFrame(const uint8_t* bytes, int count);
// A frame of the expected length with a good CRC, or a whole exception reply.
bool isWholeFrame(const uint8_t* bytes, int count, int expected);
// expected: the reply length the request asks for (impliedReplyLength).
Fault judgeReply(const Frame& request, const uint8_t* reply, int count, int expected);
// The registers of a read reply judged good, in order.
std::vector<uint16_t> replyWords(const uint8_t* reply);
