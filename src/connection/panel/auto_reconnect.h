#pragma once
// Reconnecting by itself. When the connected port's device goes away and
// comes back under the same name (an adapter's by-id name, or the device
// --com gave), or a gateway that dropped the connection takes one again,
// the port is opened again through the usual connection, the controller
// probed, and polling goes on without a click.
//
// In: line events (lost) and word that devices changed. Out: a line on
// stderr and the `reconnected` line event.
#include <memory>
#include <mutex>
#include <string>

class ControlThread;
class EndpointWatch;
struct Connection;

class AutoReconnect {
  public:
    // Attempts run as events of the control thread, as the operator's do.
    AutoReconnect(Connection& connection, ControlThread& control);
    ~AutoReconnect();
    AutoReconnect(const AutoReconnect&) = delete;
    AutoReconnect& operator=(const AutoReconnect&) = delete;

    void enable();
    void disable();
    // Devices came or went; any thread.
    void portsChanged();

  private:
    void noteLost(int port);
    void attempt(int port);
    void attemptIfBackLocked(bool gatewayAccepts = false);
    [[nodiscard]] std::unique_ptr<EndpointWatch> forgetLocked();

    Connection& connection_;
    ControlThread& control_;
    std::mutex mutex_;
    int observer_ = 0;
    int lostPort_ = 0; // 0: nothing to reconnect
    std::string lostDevice_;
    bool attemptQueued_ = false;
    // A lost gateway is looked for by connecting to it.
    std::unique_ptr<EndpointWatch> watch_;
};
