// The Line panel's cycle on a line without room for its interval: eight
// simulated controllers at 19200 baud, each turn its decimal point, mode,
// output, SV and PV in validated reads, as the panel makes them. The cycle
// against the sum of its exchanges' floors: each read's settle pause, then
// the pause after the request or, when longer, the request and its reply on
// the wire (15 bytes) with the simulator's latency, which run during that
// pause. What is left over is the schedule's and the session's own cost.
#include "lines/controller_poll.h"
#include "lines/poll_schedule.h"
#include "link/controller.h"
#include "link/line.h"
#include "serial/com_map.h"
#include "sim/sim_controller.h"

#include <algorithm>
#include <cstdio>

namespace {

// The bench's own line and the controller it asks.
Line gLine;
Controller gController(gLine);

constexpr long kBaud = 19200;
constexpr int kControllers = 8;
constexpr int kReadsPerTurn = 5;
constexpr int kCycles = 5;

} // namespace

int main() {
    sim::SimOptions options;
    options.baudRate = kBaud;
    options.timeScale = 0.0;
    for (int id = 1; id <= kControllers; ++id)
        options.ids.push_back(uint8_t(id));
    sim::SimController controller(options);
    if (!controller.start()) {
        std::fprintf(stderr, "cannot start the simulated controllers\n");
        return 1;
    }
    setComDevice(1, controller.devicePath());
    gLine.setComPort(1);
    gLine.setBaudRate(kBaud);
    if (gLine.open() < 0) return 1;

    std::vector<uint16_t> ids;
    for (int id = 1; id <= kControllers; ++id)
        ids.push_back(uint16_t(id));
    PollSchedule schedule(0.1); // far less than the line needs
    schedule.setIds(ids);
    // The models are known after the first cycle, as on the panel.
    std::vector<std::optional<char>> models(kControllers + 1);
    Clock::TimePoint first{};
    double cycle = 0;
    int cycles = 0; // the first one also reads the models, and is not counted
    for (;;) {
        const auto now = lineClock().now();
        const auto id = schedule.due(now);
        if (!id) {
            lineClock().sleepUntil(schedule.nextTurn());
            continue;
        }
        if (*id == ids.front() && ++cycles == 2) first = now;
        if (cycles == 2 + kCycles) {
            cycle = std::chrono::duration<double>(now - first).count() / kCycles;
            break;
        }
        const ControllerReading r = pollController(gController, *id, models[*id]);
        if (!r.good()) {
            std::fprintf(stderr, "id %d: %s\n", *id, r.problem().c_str());
            return 1;
        }
        models[*id] = r.model;
        schedule.polled(now, lineClock().now());
    }
    const double read = 0.03 + std::max(0.03, 15 * 11.0 / kBaud + options.latency);
    const double floor = kControllers * kReadsPerTurn * read;
    std::printf("%-30s measured %8.1f ms  floor %8.1f ms  ratio %.3f\n", "line cycle, 8 ids",
                cycle * 1e3, floor * 1e3, cycle / floor);
    gLine.close();
    return 0;
}
