#include "web/http_head.h"

#include <algorithm>
#include <cctype>
#include <charconv>

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

namespace {

// Whether a comma-separated header value holds token (case-insensitive).
bool listHas(std::string_view value, std::string_view token) {
    const std::string v = asciiLower(value);
    std::size_t from = 0;
    while (from <= v.size()) {
        const std::size_t comma = std::min(v.find(',', from), v.size());
        if (trimBlanks(std::string_view(v).substr(from, comma - from)) == token) return true;
        from = comma + 1;
    }
    return false;
}

bool parseRequestLine(std::string_view line, HttpHead& head) {
    const auto sp1 = line.find(' ');
    if (sp1 == std::string_view::npos || sp1 == 0) return false;
    const auto sp2 = line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || sp2 == sp1 + 1) return false;
    const std::string_view method = line.substr(0, sp1);
    const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = line.substr(sp2 + 1);
    if (!version.starts_with("HTTP/1.")) return false;
    if (!std::all_of(method.begin(), method.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
        return false;
    if (target.front() != '/') return false;
    head.method = std::string(method);
    head.path = std::string(target.substr(0, target.find_first_of("?#")));
    return true;
}

} // namespace

HeadResult parseHttpHead(std::string_view bytes) {
    HeadResult r;
    const std::string_view seen = bytes.substr(0, std::min(bytes.size(), kMaxHeadBytes));
    // Lines end in CRLF; a bare LF is taken too, as most servers do.
    std::size_t from = 0;
    int lines = 0;
    bool upgrade = false, connectionUpgrade = false;
    while (true) {
        const auto nl = seen.find('\n', from);
        if (nl == std::string_view::npos) break;
        std::string_view line = seen.substr(from, nl - from);
        if (line.ends_with('\r')) line.remove_suffix(1);
        from = nl + 1;
        if (lines == 0) {
            if (!parseRequestLine(line, r.head)) {
                r.status = HeadStatus::malformed;
                return r;
            }
            ++lines;
            continue;
        }
        if (line.empty()) {
            r.head.webSocketUpgrade = upgrade && connectionUpgrade;
            r.status = HeadStatus::complete;
            r.bytes = from;
            return r;
        }
        if (++lines > kMaxHeaderLines + 1) {
            r.status = HeadStatus::tooManyHeaders;
            return r;
        }
        const auto colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            r.status = HeadStatus::malformed;
            return r;
        }
        const std::string name = asciiLower(line.substr(0, colon));
        const std::string_view value = trimBlanks(line.substr(colon + 1));
        if (name == "upgrade") upgrade = asciiLower(value) == "websocket";
        if (name == "connection") connectionUpgrade = listHas(value, "upgrade");
        // Two of either leave it open which one a proxy in between went by.
        if (name == "host" || name == "origin") {
            bool& has = name == "host" ? r.head.hasHost : r.head.hasOrigin;
            if (has) {
                r.status = HeadStatus::malformed;
                return r;
            }
            has = true;
            (name == "host" ? r.head.host : r.head.origin) = std::string(value);
        }
        if (name == "content-length") {
            std::size_t n = 0;
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (r.head.contentLength || value.empty() || ec != std::errc{} ||
                end != value.data() + value.size()) {
                r.status = HeadStatus::malformed;
                return r;
            }
            r.head.contentLength = n;
        }
        if (name == "transfer-encoding") r.head.transferEncoding = true;
        if (name == "content-type")
            r.head.contentType =
                std::string(trimBlanks(asciiLower(value.substr(0, value.find(';')))));
        if (name == "cookie") r.head.cookie = std::string(value);
        if (name == "x-q7-token") r.head.token = std::string(value);
        if (name == "sec-websocket-key") r.head.webSocketKey = std::string(value);
        if (name == "sec-websocket-version") r.head.webSocketVersion = std::string(value);
    }
    r.status = bytes.size() >= kMaxHeadBytes ? HeadStatus::tooLarge : HeadStatus::incomplete;
    return r;
}

std::string cookieValue(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const auto semi = header.find(';');
        const std::string_view pair = trimBlanks(header.substr(0, semi));
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name)
            return std::string(pair.substr(eq + 1));
        if (semi == std::string_view::npos) break;
        header.remove_prefix(semi + 1);
    }
    return "";
}

namespace {

std::optional<std::string> urlDecoded(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '+') {
            out += ' ';
        } else if (s[i] == '%') {
            unsigned v = 0;
            if (i + 2 >= s.size()) return std::nullopt;
            const auto [end, ec] = std::from_chars(s.data() + i + 1, s.data() + i + 3, v, 16);
            if (ec != std::errc{} || end != s.data() + i + 3) return std::nullopt;
            out += char(v);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

} // namespace

std::optional<std::string> formValue(std::string_view body, std::string_view name) {
    while (!body.empty()) {
        const auto amp = body.find('&');
        const std::string_view pair = body.substr(0, amp);
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name)
            return urlDecoded(pair.substr(eq + 1));
        if (amp == std::string_view::npos) break;
        body.remove_prefix(amp + 1);
    }
    return std::nullopt;
}
