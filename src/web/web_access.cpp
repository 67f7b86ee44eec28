#include "web/web_access.h"

#include "web/http_head.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>

namespace {

bool isV4(const std::string& s) {
    in_addr a{};
    return inet_pton(AF_INET, s.c_str(), &a) == 1;
}

bool isV6(const std::string& s) {
    in6_addr a{};
    return inet_pton(AF_INET6, s.c_str(), &a) == 1;
}

// Labels of letters, digits, '-' and '_', none empty or longer than 63.
bool isName(std::string_view s) {
    if (s.empty() || s.size() > 253) return false;
    std::size_t label = 0;
    for (const char c : s) {
        if (c == '.') {
            if (label == 0) return false;
            label = 0;
            continue;
        }
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
        if (++label > 63) return false;
    }
    return label > 0;
}

bool isPort(std::string_view s) {
    if (s.empty() || s.size() > 5) return false;
    unsigned value = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + unsigned(c - '0');
    }
    return value >= 1 && value <= 65535;
}

// "host" or "[v6]" without a port: the host as kept, "" when not one.
std::string hostAlone(std::string_view s) {
    if (s.starts_with('[')) {
        if (!s.ends_with(']')) return "";
        const std::string inside = asciiLower(s.substr(1, s.size() - 2));
        return isV6(inside) ? inside : "";
    }
    std::string h = asciiLower(s);
    if (isV6(h)) return h;
    if (h.ends_with('.')) h.pop_back();
    if (isV4(h) || isName(h)) return h;
    return "";
}

// Splits "host[:port]"; false when it is not that shape.
bool splitAuthority(std::string_view text, std::string_view& host, std::string_view& port) {
    port = {};
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) return false;
        host = text.substr(0, close + 1);
        const std::string_view rest = text.substr(close + 1);
        if (rest.empty()) return true;
        if (rest.front() != ':') return false;
        port = rest.substr(1);
        return isPort(port);
    }
    const auto colon = text.find(':');
    host = text.substr(0, colon);
    if (colon == std::string_view::npos) return true;
    port = text.substr(colon + 1);
    return isPort(port);
}

template <typename Take> std::string eachOf(std::string_view text, Take take) {
    if (trimBlanks(text).empty()) return "the list is empty";
    while (true) {
        const auto comma = text.find(',');
        const std::string_view item = trimBlanks(text.substr(0, comma));
        if (item.empty()) return "the list has an empty place";
        if (std::string why = take(item); !why.empty()) return why;
        if (comma == std::string_view::npos) return "";
        text.remove_prefix(comma + 1);
    }
}

} // namespace

std::string parseHostNames(std::string_view text, std::vector<std::string>& out) {
    return eachOf(text, [&](std::string_view item) -> std::string {
        const std::string host = hostAlone(item);
        if (host.empty())
            return "\"" + std::string(item) +
                   "\" is not a host name or IP address (without a port; IPv6 in [ ])";
        out.push_back(host);
        return "";
    });
}

std::string parseOrigins(std::string_view text, std::vector<std::string>& out) {
    return eachOf(text, [&](std::string_view item) -> std::string {
        const std::string bad = "\"" + std::string(item) +
                                "\" is not an origin: http:// or https://, a host, a port "
                                "if any, and nothing after it";
        const std::string l = asciiLower(item);
        const std::string_view o = l;
        const std::size_t scheme = o.starts_with("http://") ? 7 : o.starts_with("https://") ? 8 : 0;
        if (scheme == 0) return bad;
        std::string_view host, port;
        if (!splitAuthority(o.substr(scheme), host, port)) return bad;
        const std::string h = hostAlone(host);
        if (h.empty() || h.ends_with('.') || host.ends_with('.')) return bad;
        out.push_back(std::string(o.substr(0, scheme)) + (isV6(h) ? "[" + h + "]" : h) +
                      (port.empty() ? "" : ":" + std::string(port)));
        return "";
    });
}

std::string hostOfHeader(std::string_view host) {
    std::string_view name, port;
    if (!splitAuthority(host, name, port)) return "";
    return hostAlone(name);
}

bool originAllowed(std::string_view origin, std::string_view host,
                   const std::vector<std::string>& allowed) {
    const std::string o = asciiLower(origin);
    const std::string h = asciiLower(host);
    if (!h.empty() && (o == "http://" + h || o == "https://" + h)) return true;
    return std::find(allowed.begin(), allowed.end(), o) != allowed.end();
}
