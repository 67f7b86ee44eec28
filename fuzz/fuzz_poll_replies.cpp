// The run-status and auto-tune polls: a reply either is not good or names a
// state the panels can show (a segment indicator that exists, On or Off).
#include "crc_mutator.h"
#include "link/reply_judge.h"
#include "program/poll_decode.h"
#include "reply_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const FuzzReply r = fuzzReply(data, size);
    constexpr int kSegments = 16;
    const Frame status = fuzzRequest(r.selector, kFnReadHolding, reg::status, 1);
    if (judgeReply(status, r.bytes, r.count, 7) == Fault::none) {
        const RunStatus s = decodeRunStatus(replyWords(r.bytes)[0], kSegments);
        if (s.segment < -1 || s.segment >= kSegments) std::abort();
        if (s.running && s.idle) std::abort();
    }
    const Frame tune = fuzzRequest(r.selector, kFnReadHolding, reg::controlMode, 2);
    if (judgeReply(tune, r.bytes, r.count, 9) == Fault::none) {
        if (r.count != 9) std::abort();
        if (const auto mode = decodeTuneEnd(replyWords(r.bytes)[0]); mode && codeOf(*mode) > 1)
            std::abort();
    }
    return 0;
}
