#pragma once
// How one controller has been answering its own requests: the silence rule
// (retry_policy.h) applied to them alone, its last good reply and its
// counts. A neighbour on the same line that falls silent is no silence of
// this one's: each controller object keeps its own. Written by the thread
// that exchanges, under the line's guard; read from any thread.
#include "base/clock.h"
#include "link/line_events.h"
#include "link/observer_list.h"
#include "link/results.h"
#include "link/retry_policy.h"

#include <atomic>
#include <cstdint>
#include <optional>

class ControllerHealth {
  public:
    // What one of its exchanges came to; port names the line to listeners.
    // A line lost says nothing of the controller: the line tells of it.
    void note(Fault verdict, int port);

    // Several of its requests in a row got no byte back, until its next reply.
    bool silent() const { return silent_; }
    // When it last answered with a whole reply of its own (the values, the
    // echo, or a refusal).
    std::optional<Clock::TimePoint> lastReply() const;

    struct Counts {
        uint64_t requests = 0; // exchanges made for it
        uint64_t replies = 0;  // whole replies of its own, refusals included
        uint64_t silences = 0; // exchanges that got no byte back
    };
    Counts counts() const { return {requests_, replies_, silences_}; }

    // Told `silent` as it falls silent and `answering` with its next reply,
    // on the thread that made the exchange.
    int addObserver(LineObserver o) { return observers_.add(std::move(o)); }
    void removeObserver(int handle) { observers_.remove(handle); }

    // Nothing known: a new id, or the program's start.
    void forget();

  private:
    retry::SilenceCount silence_;
    std::atomic<bool> silent_{false};
    // The line clock's ticks at the last reply; 0: none yet.
    std::atomic<int64_t> lastReplyTicks_{0};
    std::atomic<uint64_t> requests_{0}, replies_{0}, silences_{0};
    ObserverList<LineEvent, int> observers_;
};
