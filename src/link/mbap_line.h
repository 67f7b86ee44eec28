#pragma once
// Modbus TCP on a line's port. Requests go out under increasing transaction
// ids, and a reply is taken only under the id of the request it answers.
//
// The id proves which request a reply answers only between us and the
// gateway, not behind it. A gateway whose serial time-out is shorter than a
// controller's answer says exception 0B, and the late answer then sits on
// its serial side; a gateway that does not empty that side hands it out as
// the reply to the next request, under that request's id. So the line keeps
// the requests whose answer may still sit there, as a serial line does, and
// before a request that differs from them it empties the gateway: it waits
// until the newest of those answers can no longer begin, then asks an
// address no controller has until the gateway says nothing came. A gateway
// that answers such an address itself empties nothing by it, so while an
// answer still owed could be taken for the request's own, the line then
// proves itself on that controller with a read whose answer is told from
// every owed one.
#include "link/awaited_replies.h"
#include "link/line_framing.h"
#include "link/mbap.h"

#include <cstdint>

// How the gateway answered a request.
enum class GatewayRead {
    reply,    // a whole frame under the request's id
    noAnswer, // the time-out, or the gateway's exception 0A or 0B
    broken,   // a frame cut short, or one whose length does not hold: the
              // stream lost its framing, and what came was dropped
};

// A line's Modbus TCP stream: what its connection has received so far, the
// transaction id it waits for, and the answers the gateway may still owe.
// A new connection of the port starts the stream afresh; what the gateway
// owes stays owed, since a new connection does not empty its serial side.
class MbapStream : public LineFramingBackend {
  public:
    LineFraming framing() const override { return LineFraming::mbap; }
    // When the gateway may still hold answers to other requests, waits them
    // out and asks them out of it (each asking is told to `told`). Returns
    // the bytes so dropped.
    int clearFor(ComPort& port, const Frame& request, const FrameObserver& told) override;
    // Stale replies are passed over by their transaction id; discarding raw
    // bytes could cut a frame and lose the stream's framing.
    void flushReplies(ComPort&) override {}
    // Writes the completed RTU request as a Modbus TCP frame, under the
    // connection's next transaction id.
    void send(ComPort& port, const Frame& request) override;
    // Reads frames until the reply to the request sent last, or the port's
    // time-out. Frames under another id or of another protocol are dropped
    // and counted in r.lateBytesDiscarded. The reply is put in r as the RTU
    // frame it stands for; no answer leaves r empty. After a broken frame r
    // holds what came of it. Notes what the gateway may still owe.
    bool readReply(ComPort& port, const Frame& request, int expected, Clock::TimePoint sent,
                   ExchangeResult& r) override;
    // What the gateway owes sits on its serial side, not in our input.
    void inputQuiet() override {}
    // Another gateway's line: nothing is owed on it.
    void forgetAll() override { owed_.clear(); }

  private:
    void follow(ComPort& port);
    // Sends a request of the line's own, told to `told`, and reads its reply.
    GatewayRead ask(ComPort& port, const Frame& request, const FrameObserver& told,
                    ExchangeResult& r);
    GatewayRead readFrame(ComPort& port, ExchangeResult& r);
    void noteOwed(const Frame& request, int expected, Clock::TimePoint sent, GatewayRead got,
                  const ExchangeResult& r);

    uint64_t connection_ = 0;
    uint16_t awaited_ = 0; // the transaction id of the request sent last
    MbapReceiver receiver_;
    // Requests whose answer may still sit on the gateway's serial side.
    AwaitedReplies owed_;
};
