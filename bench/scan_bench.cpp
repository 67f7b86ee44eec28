// A scan of ids 1-247 on a line where nobody answers, at 19200 baud: against
// the floor of its time-outs (247 of them) and against the minute an
// operator is promised. The line is a pseudo-terminal with nothing behind it.
#include "link/controller.h"
#include "link/line.h"
#include "link/line_scan.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"

#include <chrono>
#include <cstdio>
#include <pty.h>
#include <unistd.h>
#include <vector>

namespace {

// The bench's own line and the controller it asks.
Line gLine;
Controller gController(gLine);

void report(const char* what, double measured, double floor) {
    std::printf("%-30s measured %8.1f ms  floor %8.1f ms  ratio %.3f\n", what, measured * 1e3,
                floor * 1e3, measured / floor);
}

} // namespace

int main() {
    int master = -1, slave = -1;
    char name[256];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return 1;
    setComDevice(1, name);
    gLine.setComPort(1);
    gLine.setBaudRate(19200);
    if (gLine.open() < 0) return 1;

    std::vector<uint8_t> ids;
    for (int id = 1; id <= 247; ++id)
        ids.push_back(uint8_t(id));
    const auto start = std::chrono::steady_clock::now();
    const ScanResult result = scanIds(gLine, ids, 19200);
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result.found.empty()) return 1;
    report("scan of 247 silent ids", took, 247 * scan::timeoutSeconds(19200));
    report("scan of 247 ids, one minute", took, 60.0);
    CloseCom(gLine.port());
    close(slave);
    close(master);
    return 0;
}
