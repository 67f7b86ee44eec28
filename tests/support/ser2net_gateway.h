#pragma once
// ser2net (the Debian package) in front of a serial device, such as the
// simulator's pseudo-terminal: RTU frames over a raw TCP socket on a free
// loopback port, as a serial-to-Ethernet gateway in transparent mode serves
// them. Its own config file; started and stopped by PID.
#include "support/child_process.h"

#include <cstdint>
#include <memory>
#include <string>

class Ser2netGateway {
  public:
    explicit Ser2netGateway(const std::string& device, long baud = 19200);
    ~Ser2netGateway();
    Ser2netGateway(const Ser2netGateway&) = delete;
    Ser2netGateway& operator=(const Ser2netGateway&) = delete;

    // What the master opens, rtu+tcp://127.0.0.1:PORT; empty when the gateway
    // is not serving, and why() says what failed.
    std::string device() const;
    uint16_t port() const { return port_; }
    const std::string& why() const { return why_; }
    // Stops the gateway (its connections drop) and starts it again on the same port.
    void stop();
    bool start();

  private:
    bool writeConfig();

    std::string dir_, why_, serial_;
    long baud_ = 19200;
    uint16_t port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};
