// The run-status and auto-tune polls: a reply either says nothing or names a
// state the panels can show (a segment indicator that exists, On or Off).
#include "crc_mutator.h"
#include "program/poll_decode.h"
#include "reply_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const FuzzReply r = fuzzReply(data, size);
    constexpr int kSegments = 16;
    if (const auto status = decodeRunStatus(r.bytes, r.count, r.selector, kSegments)) {
        if (status->segment < -1 || status->segment >= kSegments) std::abort();
        if (status->running && status->idle) std::abort();
    }
    if (const auto mode = decodeTuneEnd(r.bytes, r.count, r.selector))
        if (*mode > 1 || r.count != 9) std::abort();
    return 0;
}
