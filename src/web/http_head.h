#pragma once
// The head of an HTTP request, read from the bytes a client has sent so
// far. Pure and bounded: it looks at no more than kMaxHeadBytes and counts
// header lines as they come, so a client cannot make the server hold more
// than that for it, however much it sends.
#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kMaxHeadBytes = 8 * 1024;
inline constexpr int kMaxHeaderLines = 100;

struct HttpHead {
    std::string method;
    std::string path; // the target without its query or fragment
    bool webSocketUpgrade = false;
};

enum class HeadStatus {
    incomplete,     // no blank line yet: wait for more
    complete,       // head holds it
    tooLarge,       // 431: longer than kMaxHeadBytes
    tooManyHeaders, // 431: more than kMaxHeaderLines header lines
    malformed,      // 400
};

struct HeadResult {
    HeadStatus status = HeadStatus::incomplete;
    HttpHead head;
};

HeadResult parseHttpHead(std::string_view bytes);
