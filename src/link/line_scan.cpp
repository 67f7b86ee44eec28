#include "link/line_scan.h"

#include "base/clock.h"
#include "link/exchange.h"
#include "link/mbap_line.h"
#include "link/probe_request.h"
#include "link/transaction.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <chrono>

namespace {

// Bytes of a probe and its reply, 11 bits each on the wire.
constexpr double kProbeBits = (8 + 7) * 11;
constexpr double kTurnRound = 0.1;

// Reads and drops what comes until the line has been quiet for kScanQuiet.
// The awaited reply is then no concern of the next id's (see line_scan.h).
void waitQuiet(Line& line, int port) {
    if (!mbapLine(port)) {
        uint8_t byte = 0;
        while (!comLost(port) &&
               ComRdUntil(port, &byte, 1, secondsFromNow(scan::kScanQuiet)) == 1) {
        }
    }
    line.forgetAwaited();
}

// The line's silence count and last reply are about the connected
// controller: the silent ids of a scan must not turn its light amber, nor
// another id's reply pass for its own.
class OwnControllerKept {
  public:
    explicit OwnControllerKept(Line& line) : line_(line), kept_(line.standing()) {}
    ~OwnControllerKept() { line_.restore(kept_); }
    OwnControllerKept(const OwnControllerKept&) = delete;
    OwnControllerKept& operator=(const OwnControllerKept&) = delete;

  private:
    Line& line_;
    Line::Standing kept_;
};

ProbeResult probeAfterQuiet(Line& line, int port, uint8_t id, bool quietFirst) {
    const Transaction t(line);
    const OwnControllerKept kept(line);
    if (quietFirst) waitQuiet(line, port);
    return probeRequest(line, id);
}

bool lateFromEarlier(const ProbeResult& probe, std::span<const uint8_t> asked) {
    return probe.fault == Fault::wrongSlave &&
           std::find(asked.begin(), asked.end(), probe.replyAddress) != asked.end();
}

} // namespace

double scan::timeoutSeconds(long baud) {
    return kTurnRound + kProbeBits / double(baud > 0 ? baud : 19200);
}

ScanResult scanIds(Line& line, std::span<const uint8_t> ids, long baud,
                   const ScanProgress& progress) {
    ScanResult result;
    const int port = line.comPort();
    const auto portTimeout = comTimeout(port);
    SetComTime(port, scan::timeoutSeconds(baud));
    bool quietFirst = false;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        ProbeResult probe = probeAfterQuiet(line, port, ids[i], quietFirst);
        // A late reply from an id asked before took this id's turn: this id
        // was not heard, so it is asked once more on the quiet line.
        if (lateFromEarlier(probe, ids.first(i))) probe = probeAfterQuiet(line, port, ids[i], true);
        ScanStep step{i + 1, ids.size(), ids[i], std::nullopt, probe.fault};
        if (probe.answered) {
            step.model = char(probe.modelCode);
            result.found.push_back({ids[i], char(probe.modelCode)});
        }
        quietFirst = !probe.answered;
        if (probe.fault == Fault::lineLost) {
            result.lineLost = true;
            break;
        }
        if (progress && !progress(step) && i + 1 < ids.size()) {
            result.cancelled = true;
            break;
        }
    }
    SetComTime(port, std::chrono::duration<double>(portTimeout).count());
    return result;
}
