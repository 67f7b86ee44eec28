#include "connection/panel/auto_reconnect.h"

#include "connection/panel/connection.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/line_lost_notice.h"
#include "panelkit/panel_test_api.h"
#include "serial/com_map.h"
#include "serial/comes_back.h"
#include "serial/endpoint_watch.h"
#include "serial/net_endpoint.h"
#include "serial/serial_port.h"

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>

namespace {

std::mutex stateMutex;
int observer = 0;
int lostPort = 0; // 0: nothing to reconnect
std::string lostDevice;
bool attemptQueued = false;
// A lost gateway is looked for by connecting to it.
std::unique_ptr<EndpointWatch> watch;

// Returns the endpoint watch, to be let go of once the lock is: its thread
// may be waiting for the lock.
[[nodiscard]] std::unique_ptr<EndpointWatch> forgetLocked() {
    lostPort = 0;
    lostDevice.clear();
    return std::move(watch);
}

// A device being removed can still have its name for a moment; opening
// tells whether it is really there.
bool opens(const std::string& device) {
    if (isNetworkDevice(device)) return endpointAccepts(device);
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

void attempt(Controller& c, int port) {
    std::string device;
    {
        std::lock_guard lock(stateMutex);
        attemptQueued = false;
        if (lostPort != port) return;
        device = lostDevice;
    }
    // The operator may have connected, or picked another port, meanwhile:
    // then it is theirs to decide.
    int selected = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::portSelector, &selected);
    const bool operatorTookOver = c.line().linkUp() || selected != port;
    if (!operatorTookOver && !opens(device)) return; // the next change may bring it
    std::unique_ptr<EndpointWatch> done;
    {
        std::lock_guard lock(stateMutex);
        done = forgetLocked();
    }
    done.reset();
    if (operatorTookOver) return;
    ComportInit(c);
    if (!c.line().linkUp()) return; // the connection said why
    withdrawLineLost();
    c.line().reportLineEvent(LineEvent::reconnected, port);
}

// Called with the lock held. A gateway is back when its watch says so.
void attemptIfBackLocked(Controller& c, bool gatewayAccepts = false) {
    if (!lostPort || attemptQueued) return;
    if (isNetworkDevice(lostDevice) ? !gatewayAccepts
                                    : access(lostDevice.c_str(), R_OK | W_OK) != 0)
        return;
    attemptQueued = true;
    const int port = lostPort;
    postTask([&c, port] { attempt(c, port); });
}

void onLineEvent(Controller& c, LineEvent event, int port) {
    if (event != LineEvent::lost && event != LineEvent::reconnected) return;
    const std::string device = comDevice(port);
    if (event == LineEvent::reconnected) {
        std::fprintf(stderr, "q7: COM%d reconnected (%s)\n", port, device.c_str());
        return;
    }
    if (!comesBackUnderItsName(device)) {
        std::fprintf(stderr, "q7: COM%d lost (%s)\n", port, device.c_str());
        return;
    }
    std::fprintf(stderr, "q7: COM%d lost (%s); reconnecting when it is back\n", port,
                 device.c_str());
    std::unique_ptr<EndpointWatch> old;
    std::lock_guard lock(stateMutex);
    lostPort = port;
    lostDevice = device;
    old = std::move(watch);
    if (isNetworkDevice(device))
        watch = std::make_unique<EndpointWatch>(device, [&c] {
            std::lock_guard lock(stateMutex);
            attemptIfBackLocked(c, true);
        });
    // Back already: it may have been swapped faster than a poll noticed.
    attemptIfBackLocked(c);
}

} // namespace

void enableAutoReconnect(Controller& c) {
    std::lock_guard lock(stateMutex);
    if (!observer)
        observer =
            c.line().addLineObserver([&c](LineEvent e, int port) { onLineEvent(c, e, port); });
}

void disableAutoReconnect(Controller& c) {
    int handle = 0;
    std::unique_ptr<EndpointWatch> done;
    {
        std::lock_guard lock(stateMutex);
        handle = observer;
        observer = 0;
        done = forgetLocked();
    }
    if (handle) c.line().removeLineObserver(handle);
}

void portsChanged(Controller& c) {
    std::lock_guard lock(stateMutex);
    attemptIfBackLocked(c);
}
