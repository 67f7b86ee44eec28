// Times one prepared exchange (a one-register read) and one validated read
// against the simulated controller at 19200 baud, and prints each as a ratio
// to its floor: settle pause + 0.03 s + wire time of 15 bytes + sim latency.
#include "link/controller.h"
#include "link/line.h"
#include "link/registers.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "sim/sim_controller.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// The bench's own line and the controller it asks.
Line gLine;
Controller gController(gLine);

constexpr int kRounds = 25;
constexpr long kBaud = 19200;

double medianSeconds(const std::function<void()>& fn) {
    std::vector<double> t;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        t.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void report(const char* what, double measured, double floor) {
    std::printf("%-16s measured %7.2f ms  floor %7.2f ms  ratio %.3f\n", what, measured * 1e3,
                floor * 1e3, measured / floor);
}

} // namespace

int main() {
    sim::SimOptions options;
    options.baudRate = kBaud;
    sim::SimController controller(options);
    if (!controller.start()) {
        std::fprintf(stderr, "cannot start the simulated controller\n");
        return 1;
    }
    setComDevice(1, controller.devicePath());
    gLine.setComPort(1);
    gLine.setBaudRate(kBaud);
    if (gLine.open() < 0) return 1;

    const double wire = 15 * 11.0 / kBaud;
    const double latency = options.latency;

    const double exchangeTime = medianSeconds([] {
        const Transaction t(gLine, settle::bulk);
        readRegisters(gController, reg::pv);
    });
    report("exchange", exchangeTime, 0.02 + 0.03 + wire + latency);

    const double readTime = medianSeconds([] { pollRegister(gController, reg::pv); });
    report("validated read", readTime, 0.03 + 0.03 + wire + latency);

    CloseCom(gLine.port());
    controller.stop();
    return 0;
}
