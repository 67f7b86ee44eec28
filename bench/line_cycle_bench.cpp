// The Line panel's cycle on a line without room for its interval: eight
// simulated controllers at 19200 baud, each turn the one poll as the panel
// makes it (output and mode in one request, PV to the status word in
// another; the unit and decimal point only every 10 s). The cycle against
// the sum of its exchanges' floors: the poll's settle pause, then for each
// request the pause after it or, when longer, the request and its reply on
// the wire with the simulator's latency, which run during that pause. What
// is left over is the schedule's and the session's own cost.
#include "lines/poll_schedule.h"
#include "link/line.h"
#include "link/line_controllers.h"
#include "monitor/controller_poll.h"
#include "serial/com_map.h"
#include "sim/sim_controller.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr long kBaud = 19200;
constexpr int kControllers = 8;
constexpr int kCycles = 5;
// Bytes on the wire of each request of a turn and its reply.
constexpr int kTurnBytes[] = {8 + 9, 8 + 13};

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
    Line line;
    line.setComPort(1);
    line.setBaudRate(kBaud);
    if (line.open() < 0) return 1;
    LineControllers controllers(line);

    std::vector<uint16_t> ids;
    for (int id = 1; id <= kControllers; ++id)
        ids.push_back(uint16_t(id));
    PollSchedule schedule(0.1); // far less than the line needs
    schedule.setIds(ids);
    Clock::TimePoint first{};
    double cycle = 0;
    int cycles = 0; // the first one also reads the models and units, and is not counted
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
        const PollReading r = pollController(controllers.at(*id));
        if (!r.good()) {
            std::fprintf(stderr, "id %d: %s\n", *id, r.problem().c_str());
            return 1;
        }
        schedule.polled(now, lineClock().now());
    }
    double turn = 0.03;
    for (int bytes : kTurnBytes)
        turn += std::max(0.03, bytes * 11.0 / kBaud + options.latency);
    const double floor = kControllers * turn;
    std::printf("%-30s measured %8.1f ms  floor %8.1f ms  ratio %.3f\n", "line cycle, 8 ids",
                cycle * 1e3, floor * 1e3, cycle / floor);
    line.close();
    return 0;
}
