#include "web/listen_address.h"

#include <charconv>

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
    ListenAddress a;
    if (!a.host.setAddress(QString::fromUtf8(host.data(), qsizetype(host.size()))))
        return quoted + ": \"" + std::string(host) + "\" is not an IP address";
    if (text.starts_with('[') != (a.host.protocol() == QAbstractSocket::IPv6Protocol))
        return quoted + ": an IPv6 address goes in [ ], an IPv4 one does not";
    a.port = quint16(value);
    return a;
}
