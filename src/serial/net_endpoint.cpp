#include "serial/net_endpoint.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr std::string_view kModbusTcp = "tcp://";
constexpr std::string_view kRtuOverTcp = "rtu+tcp://";

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

bool isNetworkDevice(const std::string& device) {
    return startsWith(device, kModbusTcp) || startsWith(device, kRtuOverTcp);
}

std::optional<NetEndpoint> parseEndpoint(const std::string& device) {
    NetEndpoint e;
    std::string_view rest = device;
    if (startsWith(device, kModbusTcp)) {
        rest.remove_prefix(kModbusTcp.size());
    } else if (startsWith(device, kRtuOverTcp)) {
        e.framing = LineFraming::rtu;
        rest.remove_prefix(kRtuOverTcp.size());
    } else {
        return std::nullopt;
    }
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view host = rest.substr(0, colon);
    const std::string_view port = rest.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    // A host name or an address, in ASCII (an IPv6 address may carry its
    // zone); a bare IPv6 address would leave its port in doubt. Nothing
    // else passes, so no control character reaches a message or the log.
    const bool plain = std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_' || c == ':' || c == '%';
    });
    if (host.empty() || !plain ||
        (host.find(':') != std::string_view::npos && rest.front() != '['))
        return std::nullopt;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
        return std::nullopt;
    e.host = std::string(host);
    e.port = uint16_t(value);
    return e;
}

LineFraming framingOf(const std::string& device) {
    return startsWith(device, kModbusTcp) ? LineFraming::mbap : LineFraming::rtu;
}

std::string endpointKind(const std::string& device) {
    return framingOf(device) == LineFraming::mbap ? "Modbus TCP gateway" : "RTU over TCP";
}
