// Soak: alternating PV and SV reads against the simulated controller with
// 1 % of replies hit by a random fault of the line. Reports wrong values
// delivered (must be 0), good reads, give-ups and recoveries, and resident
// memory at the start and the end (must stay within 1 MiB).
// Usage: bench_soak [reads [seed]]   (default 100000; about 65 ms a read)
// Shards with different seeds may run side by side, each on its own line.
#include "link/controller.h"
#include "link/line.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "sim/sim_controller.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <unistd.h>

namespace {

// The bench's own line and the controller it asks.
Line gLine;
Controller gController(gLine);

long residentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void injectRandomFault(sim::SimController& s, std::mt19937& rng) {
    switch (std::uniform_int_distribution<int>(0, 7)(rng)) {
    case 0:
        s.dropReplies(1);
        break;
    case 1:
        s.delayNext(1.3);
        break;
    case 2:
        s.flipBit(std::uniform_int_distribution<int>(0, 6)(rng), int(rng() % 8));
        break;
    case 3:
        s.truncateNext(std::uniform_int_distribution<int>(0, 6)(rng));
        break;
    case 4:
        s.wrongSlaveNext(2);
        break;
    case 5:
        s.exceptionNext(uint8_t(1 + rng() % 4));
        break;
    case 6:
        s.noiseNext(1 + int(rng() % 8));
        break;
    default:
        s.sendNoise(1 + int(rng() % 8));
        break;
    }
}

} // namespace

int main(int argc, char** argv) {
    const long reads = argc > 1 ? std::atol(argv[1]) : 100000;
    sim::SimOptions options;
    options.timeScale = 0.0; // values change only when the soak sets them
    sim::SimController controller(options);
    if (!controller.start()) return 1;
    setComDevice(1, controller.devicePath());
    gLine.setComPort(1);
    if (gLine.open() < 0) return 1;

    const unsigned seed = argc > 2 ? unsigned(std::strtoul(argv[2], nullptr, 10)) : 20240607u;
    std::mt19937 faultRng(seed);
    std::atomic<long> faults{0};
    controller.setRequestHook([&](int) {
        if (faultRng() % 100 == 0) {
            injectRandomFault(controller, faultRng);
            ++faults;
        }
    });

    long good = 0, wrong = 0, gaveUp = 0, recovered = 0;
    long startKiB = 0;
    for (long i = 0; i < reads; ++i) {
        if (i == reads / 100) startKiB = residentKiB(); // after the first allocations settle
        const bool pv = i % 2 == 0;
        const uint16_t r = pv ? reg::pv : reg::svRead;
        const int16_t value = int16_t(pv ? 1000 + i % 997 : -1000 - i % 991);
        controller.setReg(r, uint16_t(value));
        const int before = controller.requestCount();
        const auto got = pollRegister(gController, r);
        if (!got) {
            ++gaveUp;
            continue;
        }
        if (*got != value)
            ++wrong;
        else
            ++good;
        if (controller.requestCount() - before > 1) ++recovered;
        if (reads >= 20 && i % (reads / 20) == 0) std::fprintf(stderr, "soak: %ld/%ld\r", i, reads);
    }
    const long endKiB = residentKiB();
    CloseCom(gLine.port());
    controller.setRequestHook(nullptr);
    controller.stop();

    std::printf("soak reads %ld  faults injected %ld  good %ld  recovered %ld  gave up %ld  "
                "wrong %ld\n",
                reads, faults.load(), good, recovered, gaveUp, wrong);
    std::printf("soak resident memory start %ld KiB  end %ld KiB  growth %ld KiB (limit 1024)\n",
                startKiB, endKiB, endKiB - startKiB);
    const bool ok = wrong == 0 && endKiB - startKiB <= 1024;
    std::printf("soak %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
