#pragma once
// A COM number may stand for a gateway on the network instead of a device
// node. tcp://HOST:PORT speaks Modbus TCP (a 7-byte header, no CRC);
// rtu+tcp://HOST:PORT carries the RTU frames as they are over a raw socket,
// as a gateway in transparent mode or ser2net does.
#include <cstdint>
#include <optional>
#include <string>

// How requests and replies are framed on a line.
enum class LineFraming { rtu, mbap };

struct NetEndpoint {
    LineFraming framing = LineFraming::mbap;
    std::string host; // a name or an address; an IPv6 address without its brackets
    uint16_t port = 0;
};

// Whether the text names a network endpoint at all (by its scheme), well
// formed or not: such a name is never a device node.
bool isNetworkDevice(const std::string& device);
// The endpoint, or nothing when the text is not a whole one: a host, and a
// port from 1 to 65535 ("[::1]:502" for an IPv6 address).
std::optional<NetEndpoint> parseEndpoint(const std::string& device);
// Modbus TCP for tcp://, RTU frames for everything else.
LineFraming framingOf(const std::string& device);
// What the device is, for the port selector: "Modbus TCP gateway" or "RTU over TCP".
std::string endpointKind(const std::string& device);
