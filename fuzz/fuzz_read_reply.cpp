// The judgement of a read reply (PV, SV, status word, each register of the
// parameter read): only the addressed slave's whole, well-formed answer is
// good, and its value is the reply's data word.
#include "crc_mutator.h"
#include "link/reply_judge.h"
#include "reply_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const FuzzReply r = fuzzReply(data, size);
    const uint8_t slave = r.selector;
    const Frame request = fuzzRequest(slave, kFnReadHolding, reg::pv, 1);
    if (judgeReply(request, r.bytes, r.count, 7) == Fault::none) {
        if (r.count != 7 || r.bytes[0] != slave || r.bytes[1] != 3 || r.bytes[2] != 2 ||
            !crcMatches(r.bytes, 7))
            std::abort();
        const std::vector<uint16_t> words = replyWords(r.bytes);
        if (words.size() != 1 || words[0] != uint16_t(r.bytes[3] << 8 | r.bytes[4])) std::abort();
    }
    for (uint16_t registers = 1; registers <= 125; registers += 31) {
        const Frame block = fuzzRequest(slave, kFnReadHolding, reg::setValue, registers);
        if (judgeReply(block, r.bytes, r.count, impliedReplyLength(block)) == Fault::none &&
            replyWords(r.bytes).size() != registers)
            std::abort();
    }
    return 0;
}
