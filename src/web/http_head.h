#pragma once
// The head of an HTTP request, read from the bytes a client has sent so
// far. Pure and bounded: it looks at no more than kMaxHeadBytes and counts
// header lines as they come, so a client cannot make the server hold more
// than that for it, however much it sends.
#include <cstddef>
#include <string>
#include <string_view>

// Text in lower case, ASCII letters only: header names and host names.
std::string asciiLower(std::string_view s);
// Without the blanks (and a line's carriage return) around it.
std::string_view trimBlanks(std::string_view s);

inline constexpr std::size_t kMaxHeadBytes = 8 * 1024;
inline constexpr int kMaxHeaderLines = 100;

struct HttpHead {
    std::string method;
    std::string path; // the target without its query or fragment
    bool webSocketUpgrade = false;
    bool hasHost = false, hasOrigin = false;
    std::string host;   // as sent, trimmed
    std::string origin; // as sent, trimmed
    std::string webSocketKey, webSocketVersion;
};

enum class HeadStatus {
    incomplete,     // no blank line yet: wait for more
    complete,       // head holds it
    tooLarge,       // 431: longer than kMaxHeadBytes
    tooManyHeaders, // 431: more than kMaxHeaderLines header lines
    malformed,      // 400 (a second Host or Origin, too)
};

struct HeadResult {
    HeadStatus status = HeadStatus::incomplete;
    HttpHead head;
    std::size_t bytes = 0; // of a complete head, its blank line included
};

HeadResult parseHttpHead(std::string_view bytes);
