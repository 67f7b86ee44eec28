// The acceptance of a one-register read (PV, SV, status word, each register
// of the parameter read): only the addressed slave's whole, well-formed
// answer yields a value, and that value is the reply's data word.
#include "crc_mutator.h"
#include "link/reply_checks.h"
#include "reply_input.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const FuzzReply r = fuzzReply(data, size);
    const uint16_t slave = r.selector;
    const auto value = singleRegisterValue(r.bytes, r.count, slave);
    if (value) {
        if (r.count != 7 || r.bytes[0] != slave || r.bytes[1] != 3 || r.bytes[2] != 2 ||
            !crcMatches(r.bytes, 7) || *value != int16_t(uint16_t(r.bytes[3] << 8 | r.bytes[4])))
            std::abort();
    }
    for (int registers = 0; registers <= 126; registers += 25)
        (void)isReadReply(r.bytes, r.count, slave, registers);
    return 0;
}
