// What a reply that did not come in time costs the next, different request,
// against the simulated controller at 19200 baud: a watch sample's SV read
// after its PV read, each as a ratio to its floor. After a lost reply the
// line is held until that reply can no longer begin, 2 s after the request
// that awaits it, so the floor is that moment plus one clean exchange;
// after a late reply, the awaited replies themselves end the wait, and the
// floor is the clean read.
#include "link/controller.h"
#include "link/frame_observers.h"
#include "link/line.h"
#include "link/registers.h"
#include "link/retry_policy.h"
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

constexpr long kBaud = 19200;
constexpr int kRounds = 5;

using Steady = std::chrono::steady_clock;

Steady::time_point gLastSend;

double since(Steady::time_point from, Steady::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

struct Timed {
    double measured = 0, floor = 0;
};

// The SV read after a PV read with the fault queued before it, and its
// floor: when the last PV request's reply is still awaited, the request
// waits until that reply can no longer begin (the preparation's pause runs
// within the wait), then the pause after it. The median of a few rounds.
Timed svReadAfter(const std::function<void()>& fault, bool awaited, double cleanRead) {
    std::vector<Timed> rounds;
    for (int i = 0; i < kRounds; ++i) {
        fault();
        pollRegister(gController, reg::pv);
        const Steady::time_point start = Steady::now();
        const double held = since(start, gLastSend) + retry::kLateReplyLimit;
        pollRegister(gController, reg::svRead);
        const double floor = awaited ? std::max(0.03, held) + 0.03 : cleanRead;
        rounds.push_back({since(start, Steady::now()), floor});
    }
    std::sort(rounds.begin(), rounds.end(),
              [](const Timed& a, const Timed& b) { return a.measured < b.measured; });
    return rounds[rounds.size() / 2];
}

void report(const char* what, const Timed& t) {
    std::printf("%-30s measured %8.1f ms  floor %8.1f ms  ratio %.3f\n", what, t.measured * 1e3,
                t.floor * 1e3, t.measured / t.floor);
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
    const int sends = gLine.addSendObserver([](const FrameRecord&) { gLastSend = Steady::now(); });

    // Preparation and the pause after the request, within which the reply
    // is on the wire.
    const double cleanRead = 0.03 + 0.03;
    report("SV read after a good one", svReadAfter([] {}, false, cleanRead));
    // The PV retry is answered; its first attempt's reply never comes.
    report("SV read after a lost reply",
           svReadAfter([&] { controller.dropReplies(1); }, true, cleanRead));
    // The first attempt's reply comes 1.1 s late, as the retry's answer;
    // the retry's own reply follows at once and ends the wait.
    report("SV read after a late reply",
           svReadAfter([&] { controller.delayNext(1.1); }, false, cleanRead));

    gLine.removeSendObserver(sends);
    CloseCom(gLine.port());
    controller.stop();
    return 0;
}
