#include "connection/panel/side_probe.h"

#include "base/clock.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/probe_request.h"
#include "link/retry_policy.h"
#include "link/transaction.h"
#include "serial/serial_service.h"

#include <chrono>

namespace {

bool sameFrame(const Line& line, const LineSettings& s) {
    return line.baudRate() == s.baud && line.parity() == s.parity && line.stopBits() == s.stopBits;
}

// The live line's own port, at its own settings: the probe is one more
// request on it, and the line's drain waits out a late answer before the
// live controller's next request goes out. It is no controller's request:
// what the asked id answers, or not, says nothing of the live controller.
ProbeResult probeOnLiveLine(Line& live, uint16_t id) {
    live.settle(settle::poll);
    return probeRequest(live, id);
}

} // namespace

SideProbe probeBeside(Line& live, const LineSettings& chosen) {
    // No request of the live connection goes out while the test has the port.
    const Transaction hold(live);
    SideProbe out;
    const int livePort = live.comPort();
    const bool liveOpen = livePort >= 1 && live.port().isOpen();
    if (chosen.port == livePort && live.linkUp() && liveOpen && sameFrame(live, chosen)) {
        out.probe = probeOnLiveLine(live, uint16_t(chosen.id));
        return out;
    }

    const auto liveTimeout = live.port().timeout();
    Line side;
    side.setComPort(uint16_t(chosen.port));
    side.setBaudRate(chosen.baud);
    side.setCharacterFrame(chosen.parity, chosen.stopBits);
    // The chosen number may reach the live line's device, the same number
    // at other settings or another one: the test then works on the very port
    // the live line uses.
    bool sharesLive = false;
    const bool opened = side.open() >= 0;
    if (!opened) {
        out.openError = comOpenError(side.port());
    } else {
        sharesLive = liveOpen && side.port().connection() == live.port().connection();
        Controller asked(side);
        asked.setControllerId(uint16_t(chosen.id));
        const Clock::TimePoint sent = lineClock().now();
        out.probe = asked.probe();
        // The live line knows nothing of this request: a late answer to it
        // must have come, or can no longer begin, before the live line reads
        // its next reply there.
        if (sharesLive && !out.probe.answered) {
            const double waited = std::chrono::duration<double>(lineClock().now() - sent).count();
            if (waited < retry::kLateReplyLimit) Delay(retry::kLateReplyLimit - waited);
        }
    }
    side.release();
    // The live port gets its own settings back: the test set others on its
    // device, or may have, when they would not take. A device that went away
    // meanwhile is opened again.
    if (liveOpen && (sharesLive || !opened || !live.port().isOpen())) {
        OpenComConfig(live.port(), livePort, "", live.baudRate(), live.parity(), 8, live.stopBits(),
                      255, 255);
        SetComTime(live.port(), std::chrono::duration<double>(liveTimeout).count());
        live.flushReplies();
    }
    return out;
}
