#pragma once
// An http:// or https:// address a notification is posted to, as a rule
// names it: checked when the rules are read, so a mistyped one refuses the
// file rather than failing at the first firing.
#include <optional>
#include <string>
#include <string_view>

struct HttpUrl {
    bool tls = false; // https
    std::string host; // a name or an address (an IPv6 one without its brackets)
    int port = 80;    // 443 for https unless named
    std::string path; // "/" at least, with its query
};

// The address, or nothing with why in *why ("... is no http:// or https:// address").
std::optional<HttpUrl> parseHttpUrl(std::string_view text, std::string* why);
