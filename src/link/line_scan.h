#pragma once
// The scan: which ids on the line answer the probe, and with which model.
// One implementation for `q7 scan` and the Line panel's Scan....
//
// On a serial line each id is first asked once, with a short time-out, so
// that a line of silent ids is done in well under a minute. After an id that
// gave no whole good reply the line is read until it has been quiet for
// kScanQuiet, and only then is the next id asked. This pass does not wait
// out the 2 s in which a late reply may still begin, as other requests do:
// every probe of it goes to an id no other probe of it goes to, so a late
// reply from an earlier id carries that id's address and is judged another
// slave's, never taken for the next id's answer. The quiet gap only keeps
// the tail of such a reply from being read as the start of the next one.
//
// A line that answers late (a slow relay, a radio link) shows it: bytes
// after a time-out, or an earlier id's reply in another's turn. A good
// answer proves its id is there whenever it comes, in another id's turn or
// while the line is read until quiet. Once the replies of the short pass
// can no longer come and the line has then been quiet for as long (a relay
// that takes one request at a time may still be working through the short
// pass's), every id not heard is asked again and its reply awaited as long
// as a reply can be late. Behind
// a gateway (tcp://, rtu+tcp://) there is no short pass: the gateway queues
// the requests and waits its own time-out for each absent id, so each id is
// asked once that way from the start. The last probe is awaited as any
// request is, so the request after the scan still waits it out.
#include "link/results.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace scan {

// The probe's time-out at `baud` in the short pass: 0.1 s for the controller
// to turn round, plus the request and the reply on the wire. With kScanQuiet
// and the 0.03 s pause after each request this is about 0.19 s an id at
// 19200 baud: 247 silent ids in about 47 s, and 2 s more for the last one's
// late reply.
double timeoutSeconds(long baud);
// Quiet for this long after an id without a good reply before the next one.
inline constexpr double kScanQuiet = 0.05;

} // namespace scan

struct ScanFound {
    uint8_t id = 0;
    char model = 0; // '@' or 'D'
};

// One id done: told before the next one is asked.
struct ScanStep {
    std::size_t done = 0;  // ids asked so far, this one included
    std::size_t total = 0; // ids in the list, and those asked again
    uint8_t id = 0;
    std::optional<char> model; // it answered, with this model
    Fault fault = Fault::noReply;
};
// Returns false to stop the scan before the next id.
using ScanProgress = std::function<bool(const ScanStep&)>;

struct ScanResult {
    std::vector<ScanFound> found; // in the order of the list
    bool cancelled = false;
    bool lineLost = false; // the port went away: the ids after it were not asked
};

// Probes each id on the open line, in order. The port's own time-out is
// put back afterwards; the line's link state, and every controller object's
// health, are left alone: the probes are no controller's requests.
class Line;
ScanResult scanIds(Line& line, std::span<const uint8_t> ids, long baud,
                   const ScanProgress& progress = {});
