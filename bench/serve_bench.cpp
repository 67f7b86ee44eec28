// q7 serve, the real binary, between simulated controllers at 19200 baud and
// a real mosquitto broker on loopback:
//   - latency: a PV changed at the simulator, at a random moment, until the
//     state holding it reaches a subscriber; the worst of 20 against one poll
//     interval (1 s) plus 50 ms; and the same change until the bridge's web
//     view pushes it to a page's WebSocket, against the same;
//   - CPU with eight controllers polled once a second: one bridge polling
//     ids 1-8 on one line, its user plus system time over 30 s
//     (Q7_SERVE_SECONDS) against 1 % of a core;
//   - the same bridge's poll of each controller, as its --trace shows it:
//     the longest time between two PV reads of one id, against 1.2 s.
#include "bench_process.h"
#include "sim/sim_controller.h"
#include "ws_reader.h"

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
constexpr uint16_t kPv = 0x1000;
constexpr double kInterval = 1.0, kLatencySlack = 0.050, kCpuBudget = 0.01, kPollGap = 1.2;
constexpr int kLatencyRuns = 20, kControllers = 8;

double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

void report(const char* what, double measured, double floor) {
    std::printf("%-30s measured %7.2f ms  floor %7.2f ms  ratio %.3f\n", what, measured * 1e3,
                floor * 1e3, measured / floor);
}

// The state payloads that reached the subscriber, with when.
struct Received {
    std::mutex mutex;
    std::vector<std::pair<Clock::time_point, std::string>> states;
};

void onMessage(mosquitto*, void* received, const mosquitto_message* m) {
    auto* r = static_cast<Received*>(received);
    std::lock_guard lock(r->mutex);
    r->states.emplace_back(Clock::now(), std::string(static_cast<const char*>(m->payload),
                                                     std::size_t(m->payloadlen)));
}

// Waits up to 10 s for a state holding `text` that came after `after`.
double arrival(Received& r, const std::string& text, Clock::time_point after) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        {
            std::lock_guard lock(r.mutex);
            for (const auto& [when, payload] : r.states)
                if (when > after && payload.find(text) != std::string::npos)
                    return std::chrono::duration<double>(when - after).count();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return -1;
}

// webPort: where its web view listens, none when 0.
pid_t startBridge(const std::string& dir, int n, int port, const std::string& device,
                  const char* ids, const std::string& trace = "", int webPort = 0) {
    const std::string conf = dir + "/serve" + std::to_string(n) + ".conf";
    std::ofstream(conf) << "[broker]\nurl = mqtt://127.0.0.1:" << port << "\nclient_id = bench" << n
                        << "\n[line l" << n << "]\nport = " << device << "\nids = " << ids
                        << "\ninterval = " << kInterval << "\n"
                        << (webPort ? "[web]\nlisten = 127.0.0.1:" + std::to_string(webPort) + "\n"
                                    : "");
    if (trace.empty()) return spawn({Q7_BINARY, "serve", "--config", conf});
    return spawn({Q7_BINARY, "--trace", trace, "serve", "--config", conf});
}

// The longest time between two reads of PV (a read starting at 0x1000) of
// one id in a --trace, from the second read of each id on; -1 when an id
// was read fewer than twice.
double longestPollGap(const std::string& trace, int ids) {
    std::ifstream in(trace);
    std::vector<std::vector<double>> reads(std::size_t(ids) + 1);
    for (std::string row; std::getline(in, row);) {
        // "2026-03-07T14:05:09.123+01:00,TX,01 03 10 00 00 04 ..."
        if (row.size() < 48 || row.compare(29, 4, ",TX,") != 0) continue;
        if (row.compare(36, 11, "03 10 00 00") != 0) continue;
        const int id = std::stoi(row.substr(33, 2), nullptr, 16);
        if (id < 1 || id > ids) continue;
        const double s = std::stoi(row.substr(11, 2)) * 3600 + std::stoi(row.substr(14, 2)) * 60 +
                         std::stod(row.substr(17, 6));
        reads[std::size_t(id)].push_back(s);
    }
    double longest = -1;
    for (int id = 1; id <= ids; ++id) {
        const std::vector<double>& at = reads[std::size_t(id)];
        if (at.size() < 3) return -1;
        for (std::size_t i = 2; i < at.size(); ++i)
            longest = std::max(longest, at[i] - at[i - 1]);
    }
    return longest;
}

} // namespace

int main() {
    const ScratchFolder folder("q7servebench");
    if (folder.path().empty()) return 1;
    const std::string& dir = folder.path();
    const int port = freePort();
    const Process broker = startBroker(dir, port);

    // One controller for the latency, eight on one line for the CPU.
    std::vector<std::unique_ptr<sim::SimController>> sims;
    for (int ids : {1, kControllers}) {
        sim::SimOptions options;
        options.timeScale = 0; // PV moves only when the benchmark moves it
        for (int id = 1; id <= ids; ++id)
            options.ids.push_back(uint8_t(id));
        sims.push_back(std::make_unique<sim::SimController>(options));
        if (!sims.back()->start()) return 1;
        for (int id = 1; id <= ids; ++id)
            sims.back()->setReg(uint8_t(id), kPv, 200);
    }

    mosquitto_lib_init();
    Received received;
    mosquitto* client = mosquitto_new("bench-subscriber", true, &received);
    mosquitto_message_callback_set(client, onMessage);
    if (mosquitto_connect(client, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "no broker on port %d\n", port);
        return 1;
    }
    mosquitto_subscribe(client, nullptr, "q7/l0/1/state", 1);
    mosquitto_loop_start(client);

    // Latency, with one bridge, to the broker and to a page.
    const int webPort = freePort();
    Process first(startBridge(dir, 0, port, sims[0]->devicePath(), "1", "", webPort));
    if (arrival(received, "\"pv\":20.0", Clock::time_point{}) < 0) {
        std::fprintf(stderr, "q7 serve published no state\n");
        return 1;
    }
    bench::WsReader page;
    if (!page.open(webPort)) {
        std::fprintf(stderr, "the web view took no WebSocket on port %d\n", webPort);
        return 1;
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pause(0, 1000);
    std::vector<double> latencies, toPage;
    for (int i = 1; i <= kLatencyRuns; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        const int tenths = 200 + i;
        const Clock::time_point changed = Clock::now();
        sims[0]->setReg(kPv, uint16_t(tenths));
        char text[32];
        std::snprintf(text, sizeof text, "\"pv\":%d.%d", tenths / 10, tenths % 10);
        const double l = arrival(received, text, changed);
        if (l < 0) {
            std::fprintf(stderr, "PV %s never reached the subscriber\n", text);
            return 1;
        }
        latencies.push_back(l);
        const double w = page.arrival(text, changed);
        if (w < 0) {
            std::fprintf(stderr, "PV %s never reached the page\n", text);
            return 1;
        }
        toPage.push_back(w);
    }
    std::sort(latencies.begin(), latencies.end());
    report("serve PV to subscriber (median)", latencies[latencies.size() / 2],
           kInterval + kLatencySlack);
    report("serve PV to subscriber (worst)", latencies.back(), kInterval + kLatencySlack);
    std::sort(toPage.begin(), toPage.end());
    report("serve PV to web page (median)", toPage[toPage.size() / 2], kInterval + kLatencySlack);
    report("serve PV to web page (worst)", toPage.back(), kInterval + kLatencySlack);

    // CPU, with eight.
    first.stop();
    const std::string trace = dir + "/serve1.csv";
    Process bridge(startBridge(dir, 1, port, sims[1]->devicePath(), "1-8", trace));
    std::this_thread::sleep_for(std::chrono::seconds(3)); // past its start and first reads
    const char* env = std::getenv("Q7_SERVE_SECONDS");
    const int seconds = env ? std::max(5, std::atoi(env)) : 30;
    const double before = cpuOf(bridge.pid());
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double after = cpuOf(bridge.pid());
    const double wall = since(start);
    std::set<std::string> asked;
    for (const std::string& r : sims[1]->requestLog())
        asked.insert(r.substr(0, 2));
    if (asked.size() != std::size_t(kControllers)) {
        std::fprintf(stderr, "the bridge polled %zu of the %d controllers\n", asked.size(),
                     kControllers);
        return 1;
    }
    std::printf("one bridge, %d controllers on one line, %.1f s at 1 s, %.3f s CPU\n", kControllers,
                wall, after - before);
    report("serve CPU, 8 controllers (per s)", (after - before) / wall, kCpuBudget);
    const double gap = longestPollGap(trace, kControllers);
    if (gap < 0) {
        std::fprintf(stderr, "the trace shows fewer than three polls of some controller\n");
        return 1;
    }
    report("serve poll gap, 8 controllers", gap, kPollGap);

    bridge.stop();
    mosquitto_loop_stop(client, true);
    mosquitto_destroy(client);
    mosquitto_lib_cleanup();
    for (auto& s : sims)
        s->stop();
    return 0;
}
