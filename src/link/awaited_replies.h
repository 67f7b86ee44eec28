#pragma once
// The requests whose reply has not come yet and still may. A slow line or a
// gateway answers in order, sometimes after the time-out: until the reply
// of every such request has been seen, or can no longer come, a reply read
// off the line may be one of theirs. A request that differs from them waits
// until then; the same request again may take any of their replies.
#include "base/clock.h"
#include "link/frames.h"

#include <deque>

class AwaitedReplies {
  public:
    bool empty() const { return awaited_.empty(); }
    int size() const { return int(awaited_.size()); }
    // A request went out at `sent`; its reply is awaited until a whole one is seen.
    void add(const Frame& request, int replyLength, Clock::TimePoint sent);
    // Every awaited request is this very one.
    bool onlyAwaiting(const Frame& request) const;
    // An awaited request other than this very one whose good reply this one
    // would take for its own: the same slave and function and, for a read,
    // the same count (a read names no register in its reply). A write's echo
    // names its register and value, but its refusal does not.
    bool mistakableFor(const Frame& request) const;
    // This very request is awaited.
    bool awaits(const Frame& request) const;
    // A read of `count` registers from slave `address` is awaited.
    bool awaitsRead(uint8_t address, int count) const;
    // Takes the whole replies at the front of bytes read off the line in
    // one stretch, each as the answer of the oldest awaited request; stops
    // at the first thing that is not. Returns the bytes taken. A reply that
    // was lost to a flush is never taken, so a later one is at worst held
    // for an earlier request's, and the line waited on for longer.
    int settle(const uint8_t* bytes, int count);
    // The input queue was discarded at `at`: a reply that could only come
    // before then was read or is gone.
    void flushed(Clock::TimePoint at);
    // When the reply of the newest awaited request can no longer begin,
    // plus `extra` seconds.
    Clock::TimePoint deadline(double extra = 0) const;
    void clear() { awaited_.clear(); }
    // Only the request sent last is still awaited.
    void keepNewest() {
        while (awaited_.size() > 1)
            awaited_.pop_front();
    }
    // The oldest awaited request had its answer, whatever became of it.
    void dropOldest() {
        if (!awaited_.empty()) awaited_.pop_front();
    }

  private:
    struct Awaited {
        Frame request;
        int replyLength;
        Clock::TimePoint sent;
    };
    std::deque<Awaited> awaited_;
};
