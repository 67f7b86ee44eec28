#include "traffic/frame_verdict.h"

namespace {

// A damaged reply that stopped before the length the request asks for was
// cut short; one of full length (or longer) has bytes that changed on the
// way. A five-byte exception reply is whole at five bytes.
Verdict damagedKind(const FrameRecord& r) {
    const int count = int(r.reply.size());
    const bool exceptionShaped = count == 5 && (r.reply[1] & 0x80);
    if (!exceptionShaped && count < impliedReplyLength(r.request)) return Verdict::shortReply;
    return Verdict::crcError;
}

} // namespace

Verdict verdictOf(const FrameRecord& r) {
    switch (r.verdict) {
    case Fault::none:
        return r.lateBytesDiscarded ? Verdict::lateBytesDiscarded : Verdict::good;
    case Fault::noReply:
        return Verdict::noReply;
    case Fault::damaged:
        return damagedKind(r);
    case Fault::wrongSlave:
        return Verdict::wrongSlave;
    case Fault::wrongFunction:
        return Verdict::wrongFunction;
    case Fault::exception:
        return Verdict::exception;
    case Fault::mismatch:
        return Verdict::wrongReply;
    case Fault::lineLost:
        return Verdict::lineLost;
    }
    return Verdict::noReply;
}

const char* verdictText(Verdict v) {
    switch (v) {
    case Verdict::good:
        return "good";
    case Verdict::lateBytesDiscarded:
        return "late bytes discarded";
    case Verdict::crcError:
        return "CRC error";
    case Verdict::shortReply:
        return "short";
    case Verdict::wrongSlave:
        return "wrong slave";
    case Verdict::wrongFunction:
        return "wrong function";
    case Verdict::wrongReply:
        return "wrong reply";
    case Verdict::noReply:
        return "no reply";
    case Verdict::exception:
        return "exception";
    case Verdict::lineLost:
        return "line lost";
    }
    return "unknown";
}
