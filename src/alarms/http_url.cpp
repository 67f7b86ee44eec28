#include "alarms/http_url.h"

#include "base/number_text.h"

#include <cctype>

std::optional<HttpUrl> parseHttpUrl(std::string_view text, std::string* why) {
    const auto refuse = [&](const std::string& what) -> std::optional<HttpUrl> {
        *why = what;
        return std::nullopt;
    };
    HttpUrl u;
    const std::string given(text);
    if (text.rfind("https://", 0) == 0) {
        u.tls = true;
        u.port = 443;
        text.remove_prefix(8);
    } else if (text.rfind("http://", 0) == 0) {
        text.remove_prefix(7);
    } else {
        return refuse("'" + given + "' is no http:// or https:// address");
    }
    if (text.size() > 2000) return refuse("the address is longer than 2000 characters");
    for (const char ch : text)
        if (std::iscntrl(static_cast<unsigned char>(ch)) || ch == ' ')
            return refuse("'" + given + "' holds a blank or a control character");
    const std::size_t slash = text.find_first_of("/?#");
    std::string_view authority = text.substr(0, slash);
    u.path = slash == std::string_view::npos ? "/" : std::string(text.substr(slash));
    if (u.path.front() != '/') u.path.insert(0, "/");
    if (const std::size_t hash = u.path.find('#'); hash != std::string::npos) u.path.resize(hash);
    // A token or a password belongs in the credentials file, where only its
    // owner reads it, never in the rules or in what the events show.
    if (authority.find('@') != std::string_view::npos)
        return refuse("'" + given +
                      "' names a user or password; the token goes in the "
                      "credentials file");
    std::string_view port;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return refuse("'" + given + "' has an unclosed [");
        u.host = std::string(authority.substr(1, close - 1));
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return refuse("'" + given + "' has something after its ]");
        hasPort = !rest.empty();
        if (hasPort) port = rest.substr(1);
    } else {
        const std::size_t colon = authority.find(':');
        u.host = std::string(authority.substr(0, colon));
        hasPort = colon != std::string_view::npos;
        if (hasPort) port = authority.substr(colon + 1);
        for (const char ch : u.host)
            if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-' && ch != '.' &&
                ch != '_')
                return refuse("'" + given + "' names no host");
    }
    if (u.host.empty()) return refuse("'" + given + "' names no host");
    if (hasPort) {
        const auto n = parseWhole(port);
        if (!n || *n < 1 || *n > 65535)
            return refuse("'" + given + "' has no port from 1 to 65535");
        u.port = int(*n);
    }
    return u;
}
