#pragma once
// One open serial device, or a connection to a gateway in its place. Linux
// has the termios implementation and a TCP one; another platform adds its
// own behind the same interface.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class SerialPort {
  public:
    using Deadline = std::chrono::steady_clock::time_point;
    virtual ~SerialPort() = default;
    // Returns 0, or -errno with a readable reason in *why.
    virtual int open(const std::string& device, std::string* why) = 0;
    virtual int configure(long baudRate, int parity, int dataBits, int stopBits) = 0;
    virtual int write(const uint8_t* data, int count) = 0;
    // Reads until count bytes arrived, the deadline passed or the device failed.
    virtual int readUntil(uint8_t* data, int count, Deadline deadline) = 0;
    virtual void flushInput() = 0;
    virtual void flushOutput() = 0;
    // Status bits (see GetComStat) for line errors counted since the last call.
    virtual int takeLineErrors() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The device hung up or failed (a USB adapter pulled out, a connection
    // the gateway dropped): nothing more will come through it until it is
    // opened afresh.
    virtual bool lost() const { return false; }
};

std::unique_ptr<SerialPort> makeTermiosPort();
std::unique_ptr<SerialPort> makeTcpPort();
// The TCP port for a network endpoint (net_endpoint.h), termios for the rest.
std::unique_ptr<SerialPort> makePortFor(const std::string& device);
// A gateway on the local network accepts at once; one that has not within
// this long is off or out of reach, and is reported as a missing device is.
inline constexpr std::chrono::steady_clock::duration kConnectTimeout = std::chrono::seconds(3);
// Whether the endpoint takes a connection within the time (it is closed
// again at once).
bool endpointAccepts(const std::string& device,
                     std::chrono::steady_clock::duration within = kConnectTimeout);
