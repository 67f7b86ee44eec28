// The simulator's worker once its line is gone: the CPU it uses after the
// device hung up (a busy loop would take a whole core; the budget is 2 % of
// one), and how long stop() takes while a reply is held back for 10 s.
#include "sim/sim_controller.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

using Steady = std::chrono::steady_clock;

constexpr double kCpuBudget = 0.02; // of one core
constexpr double kStopBudget = 0.5; // seconds
constexpr auto kIdleWindow = std::chrono::seconds(2);

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double since(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

void report(const char* what, double measured, double floor) {
    std::printf("%-30s measured %8.1f ms  floor %8.1f ms  ratio %.3f\n", what, measured * 1e3,
                floor * 1e3, measured / floor);
}

// The simulator started with its line opened by a master, as the tests do.
struct OpenSim {
    OpenSim() {
        ok = sim.start() &&
             (fd = ::open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) >= 0;
    }
    ~OpenSim() {
        if (fd >= 0) ::close(fd);
    }
    sim::SimController sim{{.baudRate = 115200, .latency = 0.0005}};
    int fd = -1;
    bool ok = false;
};

} // namespace

int main() {
    {
        OpenSim s;
        if (!s.ok) return std::fprintf(stderr, "cannot start the simulated controller\n"), 1;
        s.sim.closeLine();
        const double cpu = cpuSeconds();
        const auto start = Steady::now();
        std::this_thread::sleep_for(kIdleWindow);
        const double wall = since(start);
        report("sim CPU after hang-up", cpuSeconds() - cpu, kCpuBudget * wall);
        const auto stopping = Steady::now();
        s.sim.stop();
        report("sim stop after hang-up", since(stopping), kStopBudget);
    }
    {
        OpenSim s;
        if (!s.ok) return std::fprintf(stderr, "cannot start the simulated controller\n"), 1;
        // Model code read (0x1F00) for id 1, held back 10 s.
        const unsigned char ident[] = {0x01, 0x03, 0x1F, 0x00, 0x00, 0x01, 0x83, 0xDE};
        s.sim.delayNext(10);
        if (::write(s.fd, ident, sizeof ident) != ssize_t(sizeof ident)) return 1;
        const auto deadline = Steady::now() + std::chrono::seconds(2);
        while (s.sim.requestCount() < 1 && Steady::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (s.sim.requestCount() < 1)
            return std::fprintf(stderr, "the simulated controller took no request\n"), 1;
        const auto stopping = Steady::now();
        s.sim.stop();
        report("sim stop, reply held back", since(stopping), kStopBudget);
    }
    return 0;
}
