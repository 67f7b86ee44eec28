#pragma once
// The one rule for a controller that does not answer, or answers badly. Every
// caller goes by it: the polls, the bulk read and write, the setters, the mode
// writes, the PID and step program transfers, the controlled exit.
namespace retry {

// A read whose reply is missing or damaged is sent once more. The second try
// cures a burst of line noise; a third would only hold up a poll that comes
// round again within the second anyway. An exception reply is asked again
// too: it may be the reply of a request the controller read wrongly.
inline constexpr int kReadAttempts = 2;

// Before that second try both queues are discarded and the line rests 0.03 s,
// so no rest of the bad reply is read as the start of the next.
inline constexpr double kRetryPause = 0.03;

// A write is sent once and judged by its echo. When the echo is missing the
// write may well have been taken; the caller reports it rather than repeat
// it behind the operator's back.
inline constexpr int kWriteAttempts = 1;

// The connection probe is asked once: a failed connection is reported at
// once, and selecting the port again is the operator's retry.
inline constexpr int kProbeAttempts = 1;

// A port just opened rests this long before its first request.
inline constexpr double kOpenPause = 0.05;

// How long a read waits for the bytes of a reply before it counts as
// missing.
inline constexpr double kReplyTimeout = 1.0;

// After a request is written the line rests this long before reading: the
// controller turns round, and the reply's first bytes come in the meantime.
inline constexpr double kRequestPause = 0.03;

// A reply that missed its time-out may still come: a slow line or a gateway
// answers in order, and up to this long after its request was sent a reply
// can still begin. Until every request that got no whole good reply has had
// its reply or this long has passed, the line is not clean: a different
// request waits, while the line is read and what arrives is discarded.
inline constexpr double kLateReplyLimit = 2.0;

// The line counts as quiet once no byte has come for this long: far longer
// than the gap inside a frame, so a reply that began is read to its end.
inline constexpr double kQuietGap = 0.05;

// A line that never falls quiet (noise, another master) is not waited on
// for ever: past the limit by this much the request goes out anyway and is
// judged by what comes back.
inline constexpr double kDrainOverrun = 1.0;

// Requests in a row with no byte back, counted across one transfer, after
// which the transfer ends: the controller is off or the cable is out. Three
// are enough to tell a dead line from a lost reply, and keep a silent
// controller from holding the operator up longer than about 4.1 s in a
// 26-register read (one time-out of 1.0 s each, the pauses, and the wait
// before the second register until the first one's retry can no longer be
// answered).
inline constexpr int kSilentExchanges = 3;

// Requests in a row that got no byte back, held against kSilentExchanges:
// by each transfer, to end it, and by each controller's health, to judge it
// silent.
class SilenceCount {
  public:
    void note(bool silent) { inARow_ = silent ? inARow_ + 1 : 0; }
    // A lost line will not answer the next request either.
    void lineLost() { inARow_ = kSilentExchanges; }
    bool reached() const { return inARow_ >= kSilentExchanges; }

  private:
    int inARow_ = 0;
};

} // namespace retry

// What a transaction does before its first request: discard both queues and
// rest, or only rest. The rest lets a controller that just answered, or a
// reply the flush cut into, fall quiet before the next request goes out.
struct Settle {
    double seconds = 0;
    bool discard = true;
};

namespace settle {

// A single read asked on its own: the PV and SV polls, the connection probe,
// the debug panel's requests, the status read before the program ends.
inline constexpr Settle poll{0.03, true};
// A run of requests that belong together: the bulk read, a parameter group,
// the reads after a rescale, the PID block, reading the step program.
inline constexpr Settle bulk{0.02, true};
// A short write or a mode poll that comes round often: the control mode, the
// run status and tune polls, the bulk write and the step program's writes.
inline constexpr Settle quick{0.01, true};
// The retry of a read whose reply was missing or damaged.
inline constexpr Settle retryRead{retry::kRetryPause, true};
// Rests with nothing discarded, as these callers always have: the alarm
// status poll; the debug panel's raw request, whose queues were discarded as
// the request was composed; the Off write of a controlled exit, after the
// operator answered.
inline constexpr Settle alarmPause{0.01, false};
inline constexpr Settle rawPause{0.01, false};
inline constexpr Settle exitPause{0.03, false};

} // namespace settle
