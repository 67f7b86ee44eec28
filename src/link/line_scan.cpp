#include "link/line_scan.h"

#include "base/clock.h"
#include "link/exchange.h"
#include "link/probe_request.h"
#include "link/retry_policy.h"
#include "link/transaction.h"
#include "serial/com_map.h"
#include "serial/net_endpoint.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <chrono>

namespace {

// Bytes of a probe and its reply, 11 bits each on the wire.
constexpr double kProbeBits = (8 + 7) * 11;
constexpr double kTurnRound = 0.1;

// Reads and drops what comes until `until` has passed and the line has then
// been quiet for kScanQuiet. Returns the bytes read: on a line where
// nothing is late there are none. A Modbus TCP stream is not read raw,
// which would lose its framing; its replies are told apart by transaction
// id, and the scan never waits on one for late replies (it asks each id
// with the long wait from the start).
int readUntilQuiet(Line& line, Clock::TimePoint until) {
    int read = 0;
    if (line.framing() == LineFraming::mbap) return read;
    ComPort& port = line.port();
    uint8_t byte = 0;
    while (!comLost(port) &&
           ComRdUntil(port, &byte, 1, std::max(until, secondsFromNow(scan::kScanQuiet))) == 1)
        ++read;
    return read;
}

// Asks one id. With quietFirst the line is first read until quiet, and the
// reply awaited before is forgotten (line_scan.h says why that is safe);
// without it the line's own rule waits out what is still awaited. `late`
// is set when bytes came after their time-out.
ProbeResult probe(Line& line, uint8_t id, bool quietFirst, bool& late) {
    const Transaction t(line);
    if (quietFirst) {
        if (readUntilQuiet(line, lineClock().now()) > 0) late = true;
        line.forgetAwaited();
    }
    return probeRequest(line, id);
}

// A whole reply from another id of the list took this id's turn: an answer
// that came late to a probe of that id.
bool lateFromAnother(const ProbeResult& p, std::span<const uint8_t> ids, uint8_t id) {
    return p.fault == Fault::wrongSlave && p.replyAddress != id &&
           std::find(ids.begin(), ids.end(), p.replyAddress) != ids.end();
}

// A gateway queues the requests for its serial side and waits its own
// time-out for each absent id, so a short time-out of ours would only pile
// requests up in front of it and give up on each.
bool throughGateway(const Line& line) {
    return line.framing() == LineFraming::mbap || isNetworkDevice(comDevice(line.comPort()));
}

class Scan {
  public:
    Scan(Line& line, std::span<const uint8_t> ids, const ScanProgress& progress)
        : line_(line), ids_(ids), progress_(progress), total_(ids.size()) {}

    // Asks each of `which` (indexes into the list) in turn; with `careful`
    // a reply is awaited as long as one can come late. False once the scan
    // ends early. The indexes not heard are left in `unheard`.
    bool pass(const std::vector<std::size_t>& which, bool careful,
              std::vector<std::size_t>& unheard) {
        bool quietFirst = false;
        for (const std::size_t i : which) {
            const uint8_t id = ids_[i];
            lastAsked_ = lineClock().now();
            ProbeResult p = probe(line_, id, quietFirst && !careful, late_);
            // This id was not heard: it is asked once more on a quiet line.
            if (lateFromAnother(p, ids_, id)) {
                late_ = true;
                lastAsked_ = lineClock().now();
                p = probe(line_, id, true, late_);
            }
            ScanStep step{++done_, total_, id, std::nullopt, p.fault};
            if (p.answered) {
                step.model = char(p.modelCode);
                result.found.push_back({id, char(p.modelCode)});
            } else {
                unheard.push_back(i);
            }
            quietFirst = !p.answered;
            if (p.fault == Fault::lineLost) {
                result.lineLost = true;
                return false;
            }
            if (progress_ && !progress_(step)) {
                // Stopped after the last id is no stop, unless the ids not
                // heard in the short pass may still be asked again.
                result.cancelled = done_ < total_ || (!careful && !unheard.empty());
                return false;
            }
        }
        return true;
    }

    // Waits until the replies to the probes so far can no longer come,
    // reading what does: true when any came.
    bool waitOutLateReplies() {
        const Transaction t(line_);
        const auto until = lastAsked_ + std::chrono::duration_cast<Clock::TimePoint::duration>(
                                            std::chrono::duration<double>(retry::kLateReplyLimit));
        if (readUntilQuiet(line_, until) > 0) late_ = true;
        line_.forgetAwaited();
        return late_;
    }

    void willAskAgain(std::size_t count) { total_ += count; }

    ScanResult result;

  private:
    Line& line_;
    std::span<const uint8_t> ids_;
    const ScanProgress& progress_;
    std::size_t done_ = 0, total_;
    bool late_ = false;
    Clock::TimePoint lastAsked_{};
};

} // namespace

double scan::timeoutSeconds(long baud) {
    return kTurnRound + kProbeBits / double(baud > 0 ? baud : 19200);
}

ScanResult scanIds(Line& line, std::span<const uint8_t> ids, long baud,
                   const ScanProgress& progress) {
    ComPort& port = line.port();
    const auto portTimeout = port.timeout();
    Scan scan(line, ids, progress);
    std::vector<std::size_t> all(ids.size()), unheard;
    for (std::size_t i = 0; i < ids.size(); ++i)
        all[i] = i;
    if (throughGateway(line)) {
        SetComTime(port, retry::kLateReplyLimit);
        scan.pass(all, true, unheard);
    } else {
        SetComTime(port, scan::timeoutSeconds(baud));
        // An answer that came late to one id shows the line to be slower
        // than the short time-out: the ids not heard are asked again, each
        // on a line where nothing else is awaited.
        if (scan.pass(all, false, unheard) && !unheard.empty() && scan.waitOutLateReplies()) {
            std::vector<std::size_t> again;
            again.swap(unheard);
            scan.willAskAgain(again.size());
            SetComTime(port, retry::kLateReplyLimit);
            scan.pass(again, true, unheard);
        }
    }
    SetComTime(port, std::chrono::duration<double>(portTimeout).count());
    // Each found id once, in the order of the list.
    std::vector<ScanFound>& found = scan.result.found;
    std::sort(found.begin(), found.end(), [&](const ScanFound& a, const ScanFound& b) {
        return std::find(ids.begin(), ids.end(), a.id) < std::find(ids.begin(), ids.end(), b.id);
    });
    return scan.result;
}
