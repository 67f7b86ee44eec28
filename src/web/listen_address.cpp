#include "web/listen_address.h"

#include <arpa/inet.h>
#include <charconv>
#include <netinet/in.h>

std::variant<ListenAddress, std::string> parseListenAddress(std::string_view text) {
    const std::string quoted = "\"" + std::string(text) + "\"";
    std::string_view host, port;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
            return quoted + " is not [IPv6 ADDRESS]:PORT";
        host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string_view::npos) return quoted + " has no :PORT";
        host = text.substr(0, colon);
        port = text.substr(0, colon).find(':') == std::string_view::npos ? text.substr(colon + 1)
                                                                         : std::string_view{};
        if (port.empty()) return quoted + " is not ADDRESS:PORT (an IPv6 address goes in [ ])";
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc{} || end != port.data() + port.size() || value == 0 ||
        value > 65535)
        return quoted + ": the port is a number from 1 to 65535";
    const std::string h(host);
    in_addr four{};
    in6_addr six{};
    const bool isSix = inet_pton(AF_INET6, h.c_str(), &six) == 1;
    if (!isSix && inet_pton(AF_INET, h.c_str(), &four) != 1)
        return quoted + ": \"" + h + "\" is not an IP address";
    if (text.starts_with('[') != isSix)
        return quoted + ": an IPv6 address goes in [ ], an IPv4 one does not";
    return ListenAddress{h, std::uint16_t(value)};
}
