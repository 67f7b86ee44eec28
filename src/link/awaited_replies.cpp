#include "link/awaited_replies.h"

#include "link/reply_judge.h"
#include "link/retry_policy.h"

#include <algorithm>

namespace {

Clock::TimePoint after(Clock::TimePoint t, double seconds) {
    return t + std::chrono::duration_cast<Clock::TimePoint::duration>(
                   std::chrono::duration<double>(seconds));
}

} // namespace

void AwaitedReplies::add(const Frame& request, int replyLength, Clock::TimePoint sent) {
    awaited_.push_back({request, replyLength, sent});
}

bool AwaitedReplies::onlyAwaiting(const Frame& request) const {
    return std::all_of(awaited_.begin(), awaited_.end(),
                       [&](const Awaited& a) { return a.request == request; });
}

bool AwaitedReplies::mistakableFor(const Frame& request) const {
    return std::any_of(awaited_.begin(), awaited_.end(), [&](const Awaited& a) {
        return a.request != request && a.request[0] == request[0] && a.request[1] == request[1] &&
               (request[1] == kFnWriteSingle ||
                impliedReplyLength(a.request) == impliedReplyLength(request));
    });
}

bool AwaitedReplies::awaits(const Frame& request) const {
    return std::any_of(awaited_.begin(), awaited_.end(),
                       [&](const Awaited& a) { return a.request == request; });
}

bool AwaitedReplies::awaitsRead(uint8_t address, int count) const {
    return std::any_of(awaited_.begin(), awaited_.end(), [&](const Awaited& a) {
        return a.request[0] == address && a.request[1] == kFnReadHolding &&
               impliedReplyLength(a.request) == 5 + 2 * count;
    });
}

int AwaitedReplies::settle(const uint8_t* bytes, int count) {
    int taken = 0;
    while (!awaited_.empty()) {
        const Awaited& a = awaited_.front();
        const uint8_t* front = bytes + taken;
        const int left = count - taken;
        // A refusal is an answer too; another slave's or another
        // function's frame is not.
        int length = 0;
        if (left >= 5 && judgeReply(a.request, front, 5, a.replyLength) == Fault::exception)
            length = 5;
        else if (left >= a.replyLength &&
                 judgeReply(a.request, front, a.replyLength, a.replyLength) == Fault::none)
            length = a.replyLength;
        if (length == 0) break;
        taken += length;
        awaited_.pop_front();
    }
    return taken;
}

void AwaitedReplies::flushed(Clock::TimePoint at) {
    const double due = retry::kLateReplyLimit + retry::kQuietGap;
    while (!awaited_.empty() && after(awaited_.front().sent, due) <= at)
        awaited_.pop_front();
}

Clock::TimePoint AwaitedReplies::deadline(double extra) const {
    return awaited_.empty() ? Clock::TimePoint{}
                            : after(awaited_.back().sent, retry::kLateReplyLimit + extra);
}
