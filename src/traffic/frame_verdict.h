#pragma once
// What the traffic monitor calls the outcome of one exchange. The session's
// judgement (Fault) says whether a reply can be used; the service engineer
// also wants to know how it went wrong: a CRC error and a cut-off reply are
// one fault to the session but point at different causes on the line.
#include "link/frame_observers.h"

#include <cstdint>

enum class Verdict : uint8_t {
    good,
    lateBytesDiscarded, // good, after dropping a late answer to an earlier request
    crcError,
    shortReply,
    wrongSlave,
    wrongFunction,
    wrongReply, // a whole frame that answers another request
    noReply,
    exception,
    lineLost,
};

Verdict verdictOf(const FrameRecord& record);
// "good", "CRC error", "short", "no reply", ... as the panel and the trace show it.
const char* verdictText(Verdict verdict);
// Whether the exchange brought no usable reply.
inline bool isFailure(Verdict v) {
    return v != Verdict::good && v != Verdict::lateBytesDiscarded;
}
