#pragma once
// The head of an HTTP request, read from the bytes a client has sent so
// far. Pure and bounded: it looks at no more than kMaxHeadBytes and counts
// header lines as they come, so a client cannot make the server hold more
// than that for it, however much it sends.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Text in lower case, ASCII letters only: header names and host names.
std::string asciiLower(std::string_view s);
// Without the blanks (and a line's carriage return) around it.
std::string_view trimBlanks(std::string_view s);

inline constexpr std::size_t kMaxHeadBytes = 8 * 1024;
inline constexpr int kMaxHeaderLines = 100;
// A POST's body (a login, a command) is small: more is refused unread.
inline constexpr std::size_t kMaxBodyBytes = 4 * 1024;

struct HttpHead {
    std::string method;
    std::string path; // the target without its query or fragment
    bool webSocketUpgrade = false;
    bool hasHost = false, hasOrigin = false;
    std::string host;   // as sent, trimmed
    std::string origin; // as sent, trimmed
    std::string webSocketKey, webSocketVersion;
    std::optional<std::size_t> contentLength;
    bool transferEncoding = false; // a body of another framing: not taken
    std::string contentType;       // lower case, without its parameters
    std::string cookie;            // the Cookie header as sent
    std::string token;             // X-Q7-Token: the session's, for a change
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

// The value of the cookie named name in a Cookie header, "" when none.
std::string cookieValue(std::string_view header, std::string_view name);
// The value of name in a form's body (application/x-www-form-urlencoded),
// decoded; nothing when it is absent or does not decode.
std::optional<std::string> formValue(std::string_view body, std::string_view name);
