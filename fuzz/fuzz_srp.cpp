// Step program files: any text is refused with a reason or gives a program
// whose own file reads back to the same text.
#include "program/srp_format.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string why;
    const auto program = parseSrp(text, &why);
    if (!program) {
        if (why.empty()) std::abort();
        return 0;
    }
    const std::string saved = formatSrp(*program);
    std::string why2;
    const auto again = parseSrp(saved, &why2);
    if (!again || formatSrp(*again) != saved) std::abort();
    return 0;
}
