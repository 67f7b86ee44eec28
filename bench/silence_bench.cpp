// How long a silent or vanished controller holds the operator up, against
// the simulated controller at 19200 baud, each as a ratio to its budget: a
// PV poll gives up within 4 s, a 26-register read ends within 6 s (its
// second register waits until its first one's retry can no longer be
// answered, and it starts after the silent poll's own wait), and five
// polls of a vanished device take under 3 s together. And polled once a
// second, as the main panel polls PV, a controller that falls silent turns
// the connection light amber within 5 s.
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "params/bulk_read.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "sim/sim_controller.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

// The bench's own line and the controller it asks.
Line gLine;
Controller gController(gLine);

double seconds(const std::function<void()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void report(const char* what, double measured, double budget) {
    std::printf("%-30s measured %8.1f ms  floor %8.1f ms  ratio %.3f\n", what, measured * 1e3,
                budget * 1e3, measured / budget);
}

} // namespace

int main() {
    sim::SimController controller;
    if (!controller.start()) {
        std::fprintf(stderr, "cannot start the simulated controller\n");
        return 1;
    }
    setComDevice(1, controller.devicePath());
    gLine.setComPort(1);
    if (gLine.open() < 0) return 1;

    // The panel's PV timer: a tick a second, a tick that comes due during a
    // poll runs as soon as it ends (ticks are not queued twice).
    // The light turns with the `silent` line event, which may come in the
    // middle of a poll.
    controller.dropReplies(1000);
    const auto start = std::chrono::steady_clock::now();
    auto turned = start;
    const int light = gController.health().addObserver([&](LineEvent event, int) {
        if (event == LineEvent::silent) turned = std::chrono::steady_clock::now();
    });
    for (auto tick = start; !gController.health().silent(); std::this_thread::sleep_until(tick)) {
        pollRegister(gController, reg::pv);
        tick += std::chrono::seconds(1);
    }
    gController.health().removeObserver(light);
    report("silent controller to warning", std::chrono::duration<double>(turned - start).count(),
           5.0);
    report("silent PV poll", seconds([] { pollRegister(gController, reg::pv); }), 4.0);
    report("silent parameter read", seconds([] { readParameters(gController); }), 6.0);

    controller.closeLine();
    report("5 polls of a vanished device", seconds([] {
               for (int i = 0; i < 5; ++i)
                   pollRegister(gController, reg::pv);
           }),
           3.0);
    CloseCom(gLine.port());
    controller.stop();
    return 0;
}
