// The web view's request head: any bytes are taken; it never looks past
// its bound, and what it takes is a GET-able shape with a path of its own.
#include "web/http_head.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const HeadResult r = parseHttpHead(bytes);
    switch (r.status) {
    case HeadStatus::complete:
        if (r.head.method.empty() || r.head.path.empty() || r.head.path[0] != '/' ||
            r.head.path.find_first_of("?#") != std::string::npos)
            std::abort();
        break;
    case HeadStatus::tooLarge:
        if (size < kMaxHeadBytes) std::abort();
        break;
    case HeadStatus::incomplete:
        if (size >= kMaxHeadBytes) std::abort();
        break;
    default:
        break;
    }
    // What lies past the bound never changes the verdict.
    if (size > kMaxHeadBytes && parseHttpHead(bytes.substr(0, kMaxHeadBytes)).status != r.status)
        std::abort();
    return 0;
}
