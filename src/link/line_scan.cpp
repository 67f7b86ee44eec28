#include "link/line_scan.h"

#include "base/clock.h"
#include "link/crc.h"
#include "link/exchange.h"
#include "link/frames.h"
#include "link/probe_request.h"
#include "link/retry_policy.h"
#include "link/transaction.h"
#include "serial/com_map.h"
#include "serial/net_endpoint.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace {

// Bytes of a probe and its reply, 11 bits each on the wire.
constexpr double kProbeBits = (8 + 7) * 11;
constexpr double kTurnRound = 0.1;
constexpr int kProbeReply = 7;
// A line that never stays quiet (noise, another master) is not waited on
// for ever before the ids not heard are asked again.
constexpr double kLongestWaitOut = 15.0;

Clock::TimePoint secondsAfter(Clock::TimePoint t, double seconds) {
    return t + std::chrono::duration_cast<Clock::TimePoint::duration>(
                   std::chrono::duration<double>(seconds));
}

// Reads what comes, into `heard`, until `until` has passed and the line has
// then been quiet for `quiet`, or `giveUp` has come. Returns the bytes read:
// on a line where nothing is late there are none. A Modbus TCP stream is
// not read raw, which would lose its framing; its replies are told apart by
// transaction id, and the scan never waits on one for late replies (it asks
// each id with the long wait from the start).
int readUntilQuiet(Line& line, Clock::TimePoint until, double quiet, Clock::TimePoint giveUp,
                   std::vector<uint8_t>& heard) {
    int read = 0;
    if (line.framing() == LineFraming::mbap) return read;
    ComPort& port = line.port();
    uint8_t byte = 0;
    while (!comLost(port) &&
           ComRdUntil(port, &byte, 1, std::min(std::max(until, secondsFromNow(quiet)), giveUp)) ==
               1) {
        heard.push_back(byte);
        ++read;
    }
    return read;
}

// A controller's whole good answer to the probe: its address, the read's
// function and byte count, a model code we know, and its CRC.
std::optional<ScanFound> probeAnswer(const uint8_t* b) {
    if (b[1] != kFnReadHolding || b[2] != 2 || (b[3] != kModelAt && b[3] != kModelD) ||
        !crcMatches(b, kProbeReply))
        return std::nullopt;
    return ScanFound{b[0], char(b[3])};
}

// A gateway queues the requests for its serial side and waits its own
// time-out for each absent id, so a short time-out of ours would only pile
// requests up in front of it and give up on each.
bool throughGateway(const Line& line) {
    return line.framing() == LineFraming::mbap || isNetworkDevice(comDevice(line.comPort()));
}

// A good answer proves its id is there whenever it comes: a relay that
// queues the requests, or a radio link, may hand it out seconds after its
// own turn, in another id's or while the line is read until quiet. It is
// taken for the id it comes from, once that id has been asked.
class Scan {
  public:
    Scan(Line& line, std::span<const uint8_t> ids, const ScanProgress& progress)
        : line_(line), ids_(ids), progress_(progress), total_(ids.size()) {}

    // Asks each of `which` (indexes into the list) in turn, but an id already
    // heard; with `careful` a reply is awaited as long as one can come late.
    // False once the scan ends early. The indexes not heard are left in
    // `unheard`.
    bool pass(const std::vector<std::size_t>& which, bool careful,
              std::vector<std::size_t>& unheard) {
        bool quietFirst = false;
        for (const std::size_t i : which) {
            const uint8_t id = ids_[i];
            if (found_[id]) {
                ++done_;
                continue;
            }
            asked_[id] = true;
            lastAsked_ = lineClock().now();
            ProbeResult p = probe(id, quietFirst);
            // Another id's answer took this id's turn: it came late, and this
            // id was not heard, so it is asked once more on a quiet line.
            if (lateFromAnother(p, id)) {
                late_ = true;
                noteLateAnswer(p);
                lastAsked_ = lineClock().now();
                p = probe(id, true);
            }
            if (!tellLateAnswers(careful, unheard)) return false;
            ScanStep step{++done_, total_, id, std::nullopt, p.fault};
            if (p.answered) {
                step.model = char(p.modelCode);
                noteFound({id, char(p.modelCode)});
            } else {
                unheard.push_back(i);
                if (!careful && unanswered_++ == 0) firstUnanswered_ = lastAsked_;
            }
            quietFirst = !p.answered;
            if (p.fault == Fault::lineLost) {
                result.lineLost = true;
                return false;
            }
            if (!tell(step, careful, unheard)) return false;
        }
        return true;
    }

    // Waits until the replies to the probes so far can no longer come and
    // the line has then been quiet that long: true when any came. A relay
    // that takes one request at a time may still hold the short pass's
    // requests, each waiting its own time-out, and answers them in order: so
    // an id found is asked once more first, and its answer, whenever it
    // comes, shows every request before it answered or given up on. Answers
    // that come meanwhile are taken.
    bool waitOutLateReplies(std::vector<std::size_t>& unheard) {
        const Transaction t(line_);
        if (!waitForQueue()) return false;
        const Clock::TimePoint until = secondsAfter(lastAsked_, retry::kLateReplyLimit);
        std::vector<uint8_t> heard;
        if (readUntilQuiet(line_, until, retry::kLateReplyLimit,
                           secondsAfter(until, kLongestWaitOut), heard) > 0)
            late_ = true;
        line_.forgetAwaited();
        takeAnswers(heard);
        if (!tellLateAnswers(true, unheard)) return false;
        std::erase_if(unheard, [&](std::size_t i) { return found_[ids_[i]]; });
        return late_;
    }

    void willAskAgain(std::size_t count) { total_ += count; }

    ScanResult result;

  private:
    // Asks the id found last once more, with a time-out long enough for a
    // relay to work through every request of the short pass that got no
    // answer, each up to the reply time-out (but no longer than
    // kLongestWaitOut: past that the ids asked again find what is left), and
    // reads on until its answer comes. False when the line was lost.
    bool waitForQueue() {
        if (result.found.empty() || line_.framing() == LineFraming::mbap) return true;
        const uint8_t id = result.found.back().id;
        const double backlog = retry::kReplyTimeout * double(unanswered_);
        const Clock::TimePoint now = lineClock().now();
        const Clock::TimePoint giveUp =
            std::min(secondsAfter(std::max(now, secondsAfter(firstUnanswered_, backlog)),
                                  retry::kLateReplyLimit),
                     secondsAfter(now, kLongestWaitOut));
        ComPort& port = line_.port();
        const auto portTimeout = port.timeout();
        SetComTime(port, std::chrono::duration<double>(giveUp - lineClock().now()).count());
        lastAsked_ = lineClock().now();
        const ProbeResult p = probe(id, true);
        SetComTime(port, std::chrono::duration<double>(portTimeout).count());
        if (p.fault == Fault::lineLost) {
            result.lineLost = true;
            return false;
        }
        if (p.answered) return true;
        if (p.fault != Fault::noReply) late_ = true;
        noteLateAnswer(p);
        // What came was another id's answer, or not whole: its own is read for.
        std::vector<uint8_t> heard;
        uint8_t byte = 0;
        while (!comLost(port) && ComRdUntil(port, &byte, 1, giveUp) == 1) {
            heard.push_back(byte);
            late_ = true;
            const std::size_t n = heard.size();
            if (n >= kProbeReply && heard[n - kProbeReply] == id &&
                probeAnswer(heard.data() + n - kProbeReply))
                break;
        }
        line_.forgetAwaited();
        takeAnswers(heard);
        return true;
    }

    // Another id's whole good answer took this id's turn.
    void noteLateAnswer(const ProbeResult& p) {
        if (p.fault == Fault::wrongSlave && p.replyFunction == kFnReadHolding &&
            p.replyByteCount == 2 && (p.replyHigh == kModelAt || p.replyHigh == kModelD))
            lateAnswers_.push_back({p.replyAddress, char(p.replyHigh)});
    }

    // Asks one id. With quietFirst the line is first read until quiet, and
    // the reply awaited before is forgotten (line_scan.h says why that is
    // safe); without it the line's own rule waits out what is still awaited.
    // `late_` is set when bytes came after their time-out.
    ProbeResult probe(uint8_t id, bool quietFirst) {
        const Transaction t(line_);
        if (quietFirst) {
            std::vector<uint8_t> heard;
            const Clock::TimePoint now = lineClock().now();
            if (readUntilQuiet(line_, now, scan::kScanQuiet, secondsAfter(now, kLongestWaitOut),
                               heard) > 0)
                late_ = true;
            line_.forgetAwaited();
            takeAnswers(heard);
        }
        return probeRequest(line_, id);
    }

    // A whole reply from another id of the list took this id's turn.
    bool lateFromAnother(const ProbeResult& p, uint8_t id) const {
        return p.fault == Fault::wrongSlave && p.replyAddress != id &&
               std::find(ids_.begin(), ids_.end(), p.replyAddress) != ids_.end();
    }

    // The good answers among bytes read off the line, from ids asked.
    void takeAnswers(const std::vector<uint8_t>& heard) {
        for (std::size_t at = 0; at + kProbeReply <= heard.size();) {
            const std::optional<ScanFound> answer = probeAnswer(heard.data() + at);
            if (!answer) {
                ++at;
                continue;
            }
            lateAnswers_.push_back(*answer);
            at += kProbeReply;
        }
    }

    // Takes the late answers from ids asked, each told as a step of its own.
    bool tellLateAnswers(bool careful, const std::vector<std::size_t>& unheard) {
        std::vector<ScanFound> answers;
        answers.swap(lateAnswers_);
        for (const ScanFound& f : answers) {
            if (!asked_[f.id] || found_[f.id]) continue;
            noteFound(f);
            if (!tell({done_, total_, f.id, f.model, Fault::none}, careful, unheard)) return false;
        }
        return true;
    }

    void noteFound(const ScanFound& f) {
        found_[f.id] = true;
        result.found.push_back(f);
    }

    bool tell(const ScanStep& step, bool careful, const std::vector<std::size_t>& unheard) {
        if (!progress_ || progress_(step)) return true;
        // Stopped after the last id is no stop, unless the ids not heard in
        // the short pass may still be asked again.
        result.cancelled = done_ < total_ || (!careful && !unheard.empty());
        return false;
    }

    Line& line_;
    std::span<const uint8_t> ids_;
    const ScanProgress& progress_;
    std::size_t done_ = 0, total_;
    bool late_ = false;
    Clock::TimePoint lastAsked_{};
    // The short pass's probes that got no answer, from the first of them.
    std::size_t unanswered_ = 0;
    Clock::TimePoint firstUnanswered_{};
    std::array<bool, 256> asked_{}, found_{};
    std::vector<ScanFound> lateAnswers_; // heard, not yet taken
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
        if (scan.pass(all, false, unheard) && !unheard.empty() &&
            scan.waitOutLateReplies(unheard) && !unheard.empty()) {
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
