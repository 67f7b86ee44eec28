// q7 serve's Modbus TCP server, the real binary, on eight simulated
// controllers at 19200 baud (ids 1-8, one line, interval = 1) with a real
// mosquitto broker on loopback and [modbus] max_age = 2. PV moves on every
// controller between any two polls, so each poll publishes a state. Two
// clients, each on its own connection, read the PV of ids 1 to 8 in turn,
// one request at a time, for 20 s (Q7_MODBUS_SECONDS):
//   - the bridge's own period per controller meanwhile, as a subscriber
//     sees it (the time between two states of one controller), the median
//     and the worst of the eight, against 1.2 s: other masters' reads must
//     not slow the polls;
//   - the time of a client's read, request sent until its reply is in,
//     the median and the 99th percentile, against 10 ms. Every one of them
//     is answered from the bridge's own polls (a PV held at most max_age);
//     the benchmark says how many went to the line instead.
#include "bench_process.h"
#include "bridge_states.h"
#include "sim/sim_controller.h"

#include <mosquitto.h>
#include <netinet/tcp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace bench;
using Clock = std::chrono::steady_clock;
constexpr uint16_t kPv = 0x1000;
constexpr int kControllers = 8, kClients = 2;
constexpr double kPeriodBudget = 1.2, kReadBudget = 0.010;

// A connection to the bridge's server, -1 when none is taken within 20 s.
int connectTo(int port) {
    for (int i = 0; i < 200; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(uint16_t(port));
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            const int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            timeval timeout{5, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            return fd;
        }
        close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return -1;
}

bool receive(int fd, uint8_t* to, std::size_t n) {
    while (n > 0) {
        const ssize_t got = recv(fd, to, n, 0);
        if (got <= 0) return false;
        to += got;
        n -= std::size_t(got);
    }
    return true;
}

// What one client saw: the time of each good read, and the replies that
// were exceptions or never came.
struct ClientResult {
    std::vector<double> reads;
    int exceptions = 0;
    bool lost = false;
};

// Reads PV (03, one register) of ids 1 to 8 in turn until `until`.
ClientResult readInTurn(int fd, Clock::time_point until) {
    ClientResult result;
    uint16_t transaction = 0;
    for (int id = 1; Clock::now() < until; id = id % kControllers + 1) {
        ++transaction;
        // The header (transaction, protocol 0, six bytes on), then unit, 03,
        // the address and a count of one.
        const uint8_t ask[] = {
            uint8_t(transaction >> 8), uint8_t(transaction & 0xFF), 0, 0, 0, 6, uint8_t(id), 0x03,
            uint8_t(kPv >> 8),         uint8_t(kPv & 0xFF),         0, 1};
        const Clock::time_point sent = Clock::now();
        if (send(fd, ask, sizeof ask, MSG_NOSIGNAL) != ssize_t(sizeof ask)) {
            result.lost = true;
            break;
        }
        // The header, then the rest its length tells: 03 02 HI LO, or 83 CODE.
        uint8_t reply[16];
        if (!receive(fd, reply, 7) || reply[0] != ask[0] || reply[1] != ask[1] || reply[5] < 2 ||
            reply[5] > 5 || !receive(fd, reply + 7, std::size_t(reply[5]) - 1)) {
            result.lost = true;
            break;
        }
        const double took = std::chrono::duration<double>(Clock::now() - sent).count();
        if (reply[7] == 0x03 && reply[8] == 2)
            result.reads.push_back(took);
        else
            ++result.exceptions;
    }
    return result;
}

} // namespace

int main() {
    const ScratchFolder folder("q7modbusbench");
    if (folder.path().empty()) return 1;
    const std::string& dir = folder.path();
    const int port = freePort(), modbusPort = freePort();
    const Process broker = startBroker(dir, port);

    sim::SimOptions options;
    options.timeScale = 0; // PV moves only when the benchmark moves it
    for (int id = 1; id <= kControllers; ++id)
        options.ids.push_back(uint8_t(id));
    sim::SimController sim(options);
    if (!sim.start()) return 1;
    // Every 20 ms each PV moves by a tenth: each poll reads a new one.
    std::jthread mover([&](std::stop_token stop) {
        for (uint16_t tenths = 2000; !stop.stop_requested();
             tenths = tenths == 2999 ? 2000 : tenths + 1) {
            for (int id = 1; id <= kControllers; ++id)
                sim.setReg(uint8_t(id), kPv, tenths);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });

    mosquitto_lib_init();
    Arrivals arrivals;
    mosquitto* client = mosquitto_new("modbus-bench-subscriber", true, &arrivals);
    mosquitto_message_callback_set(client, onStateMessage);
    if (mosquitto_connect(client, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) {
        std::fprintf(stderr, "no broker on port %d\n", port);
        return 1;
    }
    mosquitto_subscribe(client, nullptr, "q7/+/+/state", 0);
    mosquitto_subscribe(client, nullptr, "q7/+/+/parameters", 0);
    mosquitto_loop_start(client);

    const std::string conf = dir + "/serve.conf";
    std::ofstream(conf) << "[broker]\nurl = mqtt://127.0.0.1:" << port
                        << "\nclient_id = modbusbench\n[line kilns]\nport = " << sim.devicePath()
                        << "\nids = 1-" << kControllers
                        << "\ninterval = 1\n[modbus]\nlisten = 127.0.0.1:" << modbusPort
                        << "\nline = kilns\nmax_age = 2\n";
    Process bridge(spawn({Q7_BINARY, "serve", "--config", conf}));
    if (!settled(arrivals, std::size_t(kControllers))) {
        std::fprintf(stderr, "the bridge did not read every controller's parameters\n");
        return 1;
    }
    std::vector<int> sockets;
    for (int c = 0; c < kClients; ++c) {
        sockets.push_back(connectTo(modbusPort));
        if (sockets.back() < 0) {
            std::fprintf(stderr, "no Modbus TCP server on port %d\n", modbusPort);
            return 1;
        }
    }

    const char* env = std::getenv("Q7_MODBUS_SECONDS");
    const int seconds = env ? std::max(5, std::atoi(env)) : 20;
    sim.clearRequestLog();
    {
        std::lock_guard lock(arrivals.mutex);
        arrivals.at.clear();
        arrivals.counting = true;
    }
    const Clock::time_point until = Clock::now() + std::chrono::seconds(seconds);
    std::vector<ClientResult> results(kClients);
    {
        std::vector<std::jthread> clients;
        for (int c = 0; c < kClients; ++c)
            clients.emplace_back(
                [&, c] { results[std::size_t(c)] = readInTurn(sockets[std::size_t(c)], until); });
    }
    {
        std::lock_guard lock(arrivals.mutex);
        arrivals.counting = false;
    }
    for (int fd : sockets)
        close(fd);

    // A read of one register that reached the controller went through the
    // line; the polls read four from PV on.
    int throughLine = 0, polls = 0;
    for (const std::string& r : sim.requestLog()) {
        throughLine += r.compare(2, 15, " 03 10 00 00 01") == 0;
        polls += r.compare(2, 15, " 03 10 00 00 04") == 0;
    }
    std::vector<double> reads;
    int exceptions = 0, status = 0;
    for (const ClientResult& r : results) {
        reads.insert(reads.end(), r.reads.begin(), r.reads.end());
        exceptions += r.exceptions;
        if (r.lost) {
            std::fprintf(stderr, "a client's request went unanswered or its connection closed\n");
            status = 1;
        }
    }
    std::printf("%d clients, %d s: %zu reads (%d exceptions, %d through the line), %d polls of "
                "PV\n",
                kClients, seconds, reads.size(), exceptions, throughLine, polls);
    const auto [median, worst] = periods(arrivals, std::size_t(kControllers));
    if (median < 0) {
        std::fprintf(stderr, "some controller published fewer than two states\n");
        status = 1;
    } else {
        report("modbus poll period (median)", median, kPeriodBudget);
        report("modbus poll period (worst)", worst, kPeriodBudget);
    }
    if (reads.empty()) {
        std::fprintf(stderr, "no read was answered\n");
        status = 1;
    } else {
        std::sort(reads.begin(), reads.end());
        report("modbus read (median)", reads[reads.size() / 2], kReadBudget);
        report("modbus read (99th percentile)", reads[reads.size() * 99 / 100], kReadBudget);
        std::printf("the slowest read took %.2f ms\n", reads.back() * 1e3);
    }

    bridge.stop();
    mover.request_stop();
    mover.join();
    mosquitto_loop_stop(client, true);
    mosquitto_destroy(client);
    mosquitto_lib_cleanup();
    sim.stop();
    return status;
}
