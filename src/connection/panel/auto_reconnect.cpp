#include "connection/panel/auto_reconnect.h"

#include "connection/panel/connection.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/line_lost_notice.h"
#include "panelkit/control_thread.h"
#include "serial/com_map.h"
#include "serial/comes_back.h"
#include "serial/endpoint_watch.h"
#include "serial/net_endpoint.h"
#include "serial/serial_port.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A device being removed can still have its name for a moment; opening
// tells whether it is really there.
bool opens(const std::string& device) {
    if (isNetworkDevice(device)) return endpointAccepts(device);
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

} // namespace

AutoReconnect::AutoReconnect(Connection& connection, ControlThread& control)
    : connection_(connection), control_(control) {}

AutoReconnect::~AutoReconnect() {
    disable();
}

// Returns the endpoint watch, to be let go of once the lock is: its thread
// may be waiting for the lock.
std::unique_ptr<EndpointWatch> AutoReconnect::forgetLocked() {
    lostPort_ = 0;
    lostDevice_.clear();
    return std::move(watch_);
}

void AutoReconnect::attempt(int port) {
    Controller& c = connection_.controller;
    std::string device;
    {
        std::lock_guard lock(mutex_);
        attemptQueued_ = false;
        if (lostPort_ != port) return;
        device = lostDevice_;
    }
    // The operator may have connected, or picked another port, meanwhile:
    // then it is theirs to decide.
    int selected = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::portSelector, &selected);
    const bool operatorTookOver = c.line().linkUp() || selected != port;
    if (!operatorTookOver && !opens(device)) return; // the next change may bring it
    std::unique_ptr<EndpointWatch> done;
    {
        std::lock_guard lock(mutex_);
        done = forgetLocked();
    }
    done.reset();
    if (operatorTookOver) return;
    ComportInit(connection_);
    if (!c.line().linkUp()) return; // the connection said why
    withdrawLineLost();
    c.line().reportLineEvent(LineEvent::reconnected, port);
}

// Called with the lock held. A gateway is back when its watch says so.
void AutoReconnect::attemptIfBackLocked(bool gatewayAccepts) {
    if (!lostPort_ || attemptQueued_) return;
    // A link still leading to the terminal that closed leads to nothing of ours.
    if (!connection_.controller.line().port().mayOpenAgain()) return;
    if (isNetworkDevice(lostDevice_) ? !gatewayAccepts
                                     : access(lostDevice_.c_str(), R_OK | W_OK) != 0)
        return;
    attemptQueued_ = true;
    const int port = lostPort_;
    control_.post([this, port] { attempt(port); });
}

void AutoReconnect::noteLost(int port) {
    const std::string device = comDevice(port);
    if (!comesBackUnderItsName(device)) {
        std::fprintf(stderr, "q7: COM%d lost (%s)\n", port, device.c_str());
        return;
    }
    std::fprintf(stderr, "q7: COM%d lost (%s); reconnecting when it is back\n", port,
                 device.c_str());
    std::unique_ptr<EndpointWatch> old;
    std::lock_guard lock(mutex_);
    lostPort_ = port;
    lostDevice_ = device;
    old = std::move(watch_);
    if (isNetworkDevice(device))
        watch_ = std::make_unique<EndpointWatch>(device, [this] {
            std::lock_guard lock(mutex_);
            attemptIfBackLocked(true);
        });
    // Back already: it may have been swapped faster than a poll noticed.
    attemptIfBackLocked();
}

void AutoReconnect::enable() {
    std::lock_guard lock(mutex_);
    if (observer_) return;
    observer_ = connection_.controller.line().addLineObserver([this](LineEvent event, int port) {
        if (event == LineEvent::lost) noteLost(port);
        if (event == LineEvent::reconnected)
            std::fprintf(stderr, "q7: COM%d reconnected (%s)\n", port, comDevice(port).c_str());
    });
}

void AutoReconnect::disable() {
    int handle = 0;
    std::unique_ptr<EndpointWatch> done;
    {
        std::lock_guard lock(mutex_);
        handle = observer_;
        observer_ = 0;
        done = forgetLocked();
    }
    if (handle) connection_.controller.line().removeLineObserver(handle);
}

void AutoReconnect::portsChanged() {
    std::lock_guard lock(mutex_);
    attemptIfBackLocked();
}
