#pragma once
// RTU frames on a serial line or a raw socket. A controller answers in
// order, sometimes after our time-out: the requests whose answer may still
// come are kept, and before a different request goes out the line is read
// until they had theirs or can no longer get it.
#include "link/awaited_replies.h"
#include "link/line_framing.h"

class RtuFraming : public LineFramingBackend {
  public:
    LineFraming framing() const override { return LineFraming::rtu; }
    int clearFor(ComPort& port, const Frame& request, const FrameObserver& told) override;
    void flushReplies(ComPort& port) override;
    void send(ComPort& port, const Frame& request) override;
    bool readReply(ComPort& port, const Frame& request, int expected, Clock::TimePoint sent,
                   ExchangeResult& r) override;
    void inputQuiet() override { awaited_.clear(); }
    void forgetAll() override { awaited_.clear(); }

  private:
    // Requests that got no whole answer: it may still be on its way and land
    // inside a later exchange's read, ahead of that one's own reply.
    AwaitedReplies awaited_;
    // The last exchange got no whole answer.
    bool answerMayBeLate_ = false;
    // The request just sent may find an earlier one's answer ahead of its own.
    bool readOn_ = false;
};
