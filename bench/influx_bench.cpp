// What the InfluxDB output costs q7 serve, the real binary: two bridges at
// once, each with three lines of eight simulated controllers (19200 baud,
// interval = 1) and a real mosquitto broker on loopback, one of them with
// [influx] writing to a real influxd on loopback. PV moves on every
// controller between any two polls, as in a firing. Run side by side, both
// see the same load of the machine; the difference of their user plus
// system time over 30 s (Q7_SERVE_SECONDS), then as much again with the
// roles swapped, as a share of one core, is against 0.3 %. The database's
// points are counted after, so that a bridge that wrote nothing is not
// taken for a cheap one.
#include "bench_process.h"
#include "bridge_states.h"
#include "sim/sim_controller.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
constexpr int kLines = 3, kControllers = 8, kBridges = 2;
constexpr double kCpuBudget = 0.003;

// The controllers whose parameters reached the subscriber, by topic.
struct Parameters {
    std::mutex mutex;
    std::set<std::string> topics;
};

void onMessage(mosquitto*, void* parameters, const mosquitto_message* m) {
    auto* p = static_cast<Parameters*>(parameters);
    std::lock_guard lock(p->mutex);
    p->topics.insert(m->topic);
}

// Waits until both bridges have read every controller's parameters once
// (they hold the polls back at the start), for at most two minutes.
bool settled(Parameters& p) {
    const std::size_t all = std::size_t(kBridges * kLines * kControllers);
    for (int i = 0; i < 1200; ++i) {
        {
            std::lock_guard lock(p.mutex);
            if (p.topics.size() == all) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::lock_guard lock(p.mutex);
    return p.topics.size() == all;
}

// What curl prints for these arguments (quoted here), empty when it fails.
std::string curl(const std::string& args) {
    std::string out;
    if (FILE* p = popen(("curl -s --max-time 10 " + args).c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        pclose(p);
    }
    return out;
}

// influxd on loopback, its meta, data and WAL in dir, answering at url
// within a minute; "" when it does not.
std::string startInfluxd(const std::string& dir, Process& influxd) {
    const int port = freePort(), rpc = freePort();
    std::ofstream(dir + "/influxdb.conf")
        << "reporting-disabled = true\n"
        << "bind-address = \"127.0.0.1:" << rpc << "\"\n"
        << "[meta]\n  dir = \"" << dir << "/meta\"\n"
        << "[data]\n  dir = \"" << dir << "/data\"\n  wal-dir = \"" << dir << "/wal\"\n"
        << "  query-log-enabled = false\n"
        << "[monitor]\n  store-enabled = false\n"
        << "[http]\n  bind-address = \"127.0.0.1:" << port << "\"\n"
        << "  log-enabled = false\n";
    influxd = Process(spawn({"influxd", "-config", dir + "/influxdb.conf"}));
    const std::string url = "http://127.0.0.1:" + std::to_string(port);
    for (int i = 0; i < 600; ++i) {
        if (curl("-o /dev/null -w '%{http_code}' " + url + "/ping") == "204") {
            curl("-XPOST " + url + "/query --data-urlencode 'q=CREATE DATABASE q7'");
            return url;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

// Bridge n's lines are bN0, bN1 and bN2, so that the two bridges' topics
// stay apart on the one broker.
pid_t startBridge(const std::string& dir, int n, int port,
                  const std::vector<std::unique_ptr<sim::SimController>>& sims,
                  const std::string& influx) {
    const std::string conf = dir + "/serve" + std::to_string(n) + ".conf";
    std::ofstream out(conf);
    out << "[broker]\nurl = mqtt://127.0.0.1:" << port << "\nclient_id = influxbench" << n << "\n";
    for (int l = 0; l < kLines; ++l)
        out << "[line b" << n << l
            << "]\nport = " << sims[std::size_t(n * kLines + l)]->devicePath() << "\nids = 1-"
            << kControllers << "\ninterval = 1\n";
    if (!influx.empty()) out << "[influx]\nurl = " << influx << "\ndatabase = q7\n";
    out.close();
    return spawn({Q7_BINARY, "serve", "--config", conf});
}

} // namespace

int main() {
    const ScratchFolder folder("q7influxbench");
    if (folder.path().empty()) return 1;
    const std::string& dir = folder.path();
    const int port = freePort();
    const Process broker = startBroker(dir, port);
    Process influxd;
    const std::string url = startInfluxd(dir, influxd);
    if (url.empty()) {
        std::fprintf(stderr, "influxd did not answer\n");
        return 1;
    }

    std::vector<std::unique_ptr<sim::SimController>> sims;
    sim::SimOptions options;
    options.timeScale = 0; // PV moves only when the benchmark moves it
    for (int id = 1; id <= kControllers; ++id)
        options.ids.push_back(uint8_t(id));
    for (int n = 0; n < kBridges * kLines; ++n) {
        sims.push_back(std::make_unique<sim::SimController>(options));
        if (!sims.back()->start()) return 1;
    }
    std::jthread mover = movingPvs(sims, kControllers);

    mosquitto_lib_init();
    Parameters parameters;
    mosquitto* client = mosquitto_new("influx-bench-subscriber", true, &parameters);
    mosquitto_message_callback_set(client, onMessage);
    if (mosquitto_connect(client, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "no broker on port %d\n", port);
        return 1;
    }
    mosquitto_subscribe(client, nullptr, "q7/+/+/parameters", 0);
    mosquitto_loop_start(client);

    // The two bridges swap roles halfway, so that whatever sets one process
    // apart from the other (its simulators, its start) counts on both sides.
    const char* env = std::getenv("Q7_SERVE_SECONDS");
    const int seconds = env ? std::max(5, std::atoi(env)) : 30;
    double withCpu = 0, withoutCpu = 0, wall = 0;
    for (int withAt = 0; withAt < kBridges; ++withAt) {
        {
            std::lock_guard lock(parameters.mutex);
            parameters.topics.clear();
        }
        Process with(startBridge(dir, withAt, port, sims, url));
        Process without(startBridge(dir, 1 - withAt, port, sims, ""));
        if (!settled(parameters)) {
            std::fprintf(stderr, "the bridges did not read every controller's parameters\n");
            return 1;
        }
        const double withBefore = cpuOf(with.pid()), withoutBefore = cpuOf(without.pid());
        const Clock::time_point start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        withCpu += cpuOf(with.pid()) - withBefore;
        withoutCpu += cpuOf(without.pid()) - withoutBefore;
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        // Both stop here, the one with [influx] sending what waits.
    }
    const std::string counted = curl("-G " + url + "/query --data-urlencode db=q7 " +
                                     "--data-urlencode 'q=SELECT count(pv) FROM q7'");
    // {"results":[{"statement_id":0,"series":[{...,"values":[["1970-...",1234]]}]}]}
    const auto last = counted.rfind(',');
    const long points = last == std::string::npos ? 0 : std::atol(counted.c_str() + last + 1);
    std::printf("two bridges of %d lines of %d controllers, %.1f s at 1 s: %.3f s CPU with "
                "[influx], %.3f s without; %ld points in the database\n",
                kLines, kControllers, wall, withCpu, withoutCpu, points);
    int status = 0;
    if (points < long(kLines * kControllers * kBridges * seconds / 2)) {
        std::fprintf(stderr, "the bridges with [influx] wrote %ld points, too few\n", points);
        status = 1;
    }
    report("influx CPU, 3 x 8 (per s)", (withCpu - withoutCpu) / wall, kCpuBudget);

    mover.request_stop();
    mover.join();
    mosquitto_loop_stop(client, true);
    mosquitto_destroy(client);
    mosquitto_lib_cleanup();
    for (auto& s : sims)
        s->stop();
    return status;
}
