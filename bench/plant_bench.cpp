// The plant's load on one PC: one q7 serve, the real binary, with three
// lines of eight simulated controllers each (ids 1-8 on each, 19200 baud),
// against a real mosquitto broker on loopback. PV moves on every
// controller between any two polls, as in a firing, so each poll publishes
// a state.
//   - CPU at interval = 1: the bridge's user plus system time over 30 s
//     (Q7_SERVE_SECONDS) against 1 % of a core;
//   - the period per controller at interval = 1, as a subscriber sees it
//     (the time between two states of one controller), the median and the
//     worst of all 24, against the interval, which is above the line's
//     floor;
//   - the same with an interval of 0.1 s, shorter than the line can keep:
//     the period against the line's floor, the eight polls on the wire at
//     the baud (two requests and their replies each, 11 bits a byte, and
//     the simulator's reply latency), and against the pace the link keeps
//     (its rests of 30 ms before each poll and after each request, the
//     wire's time within them).
#include "bench_process.h"
#include "bridge_states.h"
#include "sim/sim_controller.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
constexpr long kBaud = 19200;
constexpr int kLines = 3, kControllers = 8;
constexpr double kCpuBudget = 0.01, kPause = 0.03;
// Bytes on the wire of each request of a poll and its reply: output and
// mode (0x0002-0x0003), then PV to the status word (0x1000-0x1003).
constexpr int kPollBytes[] = {8 + 9, 8 + 13};

pid_t startPlant(const std::string& dir, int port, double interval,
                 const std::vector<std::unique_ptr<sim::SimController>>& sims) {
    const std::string conf = dir + "/plant.conf";
    std::ofstream out(conf);
    out << "[broker]\nurl = mqtt://127.0.0.1:" << port << "\nclient_id = plant\n";
    for (int n = 0; n < kLines; ++n)
        out << "[line l" << n << "]\nport = " << sims[std::size_t(n)]->devicePath()
            << "\nbaud = " << kBaud << "\nids = 1-" << kControllers << "\ninterval = " << interval
            << "\n";
    out.close();
    return spawn({Q7_BINARY, "serve", "--config", conf});
}

// Counts the states for `seconds` of a bridge that polls already.
void count(Arrivals& a, int seconds) {
    {
        std::lock_guard lock(a.mutex);
        a.at.clear();
        a.counting = true;
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    std::lock_guard lock(a.mutex);
    a.counting = false;
}

} // namespace

int main() {
    const ScratchFolder folder("q7plantbench");
    if (folder.path().empty()) return 1;
    const std::string& dir = folder.path();
    const int port = freePort();
    const Process broker = startBroker(dir, port);

    std::vector<std::unique_ptr<sim::SimController>> sims;
    sim::SimOptions options;
    options.baudRate = kBaud;
    options.timeScale = 0; // PV moves only when the benchmark moves it
    for (int id = 1; id <= kControllers; ++id)
        options.ids.push_back(uint8_t(id));
    for (int n = 0; n < kLines; ++n) {
        sims.push_back(std::make_unique<sim::SimController>(options));
        if (!sims.back()->start()) return 1;
    }
    std::jthread mover = movingPvs(sims, kControllers);

    mosquitto_lib_init();
    Arrivals arrivals;
    mosquitto* client = mosquitto_new("plant-subscriber", true, &arrivals);
    mosquitto_message_callback_set(client, onStateMessage);
    if (mosquitto_connect(client, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "no broker on port %d\n", port);
        return 1;
    }
    mosquitto_subscribe(client, nullptr, "q7/+/+/state", 0);
    mosquitto_subscribe(client, nullptr, "q7/+/+/parameters", 0);
    mosquitto_loop_start(client);

    // The line's floor, and its pace: the link rests 30 ms before each poll
    // and 30 ms after each request, a reply on the wire meanwhile.
    double wire = 0, paced = kPause;
    for (int bytes : kPollBytes) {
        wire += bytes * 11.0 / kBaud + options.latency;
        paced += std::max(kPause, bytes * 11.0 / kBaud + options.latency);
    }
    wire *= kControllers;
    paced *= kControllers;
    const char* env = std::getenv("Q7_SERVE_SECONDS");
    const int seconds = env ? std::max(5, std::atoi(env)) : 30;
    int status = 0;

    // At interval = 1.
    Process bridge(startPlant(dir, port, 1.0, sims));
    if (!settled(arrivals, std::size_t(kLines * kControllers), true)) {
        std::fprintf(stderr, "the bridge did not read every controller's parameters\n");
        return 1;
    }
    const double before = cpuOf(bridge.pid());
    const Clock::time_point start = Clock::now();
    count(arrivals, seconds);
    const double cpu = cpuOf(bridge.pid()) - before;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    auto [median, worst] = periods(arrivals, std::size_t(kLines * kControllers));
    std::printf("one bridge, %d lines of %d controllers, %.1f s at 1 s, %.3f s CPU; 8 polls on "
                "the wire take %.1f ms\n",
                kLines, kControllers, wall, cpu, wire * 1e3);
    report("plant CPU, 3 x 8 (per s)", cpu / wall, kCpuBudget);
    if (median < 0) {
        std::fprintf(stderr, "some controller published fewer than two states\n");
        status = 1;
    } else {
        report("plant period 1 s (median)", median, std::max(1.0, wire));
        report("plant period 1 s (worst)", worst, std::max(1.0, wire));
    }
    bridge.stop();

    // At 0.1 s, which no line of eight keeps at this baud.
    bridge = Process(startPlant(dir, port, 0.1, sims));
    if (!settled(arrivals, std::size_t(kLines * kControllers), true)) {
        std::fprintf(stderr, "the bridge did not read every controller's parameters\n");
        return 1;
    }
    count(arrivals, 10);
    std::tie(median, worst) = periods(arrivals, std::size_t(kLines * kControllers));
    if (median < 0) {
        std::fprintf(stderr, "some controller published fewer than two states\n");
        status = 1;
    } else {
        report("plant period 0.1 s (median)", median, wire);
        report("plant period 0.1 s (worst)", worst, wire);
        report("plant period 0.1 s paced (med)", median, paced);
    }
    bridge.stop();

    mover.request_stop();
    mover.join();
    mosquitto_loop_stop(client, true);
    mosquitto_destroy(client);
    mosquitto_lib_cleanup();
    for (auto& s : sims)
        s->stop();
    return status;
}
