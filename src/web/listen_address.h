#pragma once
// The address the web view listens on, as the config gives it:
// "0.0.0.0:8080", "127.0.0.1:8080" or "[::1]:8080". Names are not looked
// up: the page is for the LAN, and a name that resolves differently after
// a restart would move it without anyone noticing. No Qt here: the
// bridge's config reader checks the address with it.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

struct ListenAddress {
    std::string host; // an IPv4 or IPv6 address, without brackets
    std::uint16_t port = 0;
};

// The address, or why it is not one.
std::variant<ListenAddress, std::string> parseListenAddress(std::string_view text);
