#pragma once
// A Modbus slave that shares no code with the program or its simulator
// (slave.py, on pymodbus): RTU on a pseudo-terminal pair, or Modbus TCP on a
// loopback port. What it received is the proof of what went over the wire.
#include "support/child_process.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IndependentSlave {
  public:
    // options: slave.py's, e.g. {"--refuse-write", "0x21"}, {"--id", "1,2,7"} or {"--tcp"}.
    // Another script of this folder that keeps the same contract (a folder
    // first, the device as DIR/master, DIR/ready once it listens) runs the
    // same way: relay.py, a slow line in front of a slave.
    explicit IndependentSlave(const std::vector<std::string>& options = {},
                              const std::string& script = "slave.py");
    ~IndependentSlave();
    IndependentSlave(const IndependentSlave&) = delete;
    IndependentSlave& operator=(const IndependentSlave&) = delete;

    // What the master opens: the pty, or tcp://127.0.0.1:PORT. Empty when the
    // slave could not be started; why() says what failed.
    const std::string& device() const { return device_; }
    uint16_t port() const { return port_; } // with --tcp
    const std::string& why() const { return why_; }
    // The requests received since the last clearRequests(), oldest first.
    std::vector<std::string> requests() const;
    void clearRequests();

  private:
    std::string dir_, device_, why_;
    uint16_t port_ = 0;
    std::unique_ptr<ChildProcess> process_;
    std::size_t seen_ = 0; // requests() skips this many lines of the log
};
