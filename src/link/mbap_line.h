#pragma once
// Modbus TCP on a COM number. Requests go out under increasing transaction
// ids, and a reply is taken only under the id of the request it answers: a
// late reply carries its own request's id and is passed over by it, so the
// serial line's wait for a quiet line is not needed here.
#include "link/exchange.h"
#include "link/mbap.h"

#include <cstdint>

// The COM number's open port speaks Modbus TCP.
bool mbapLine(int port);

// A line's Modbus TCP stream: what its connection has received so far, and
// the transaction id it waits for. A new connection of the port (the
// gateway reconnected) starts it afresh.
class MbapStream {
  public:
    // Writes the completed RTU request as a Modbus TCP frame, under the next
    // transaction id.
    void send(int port, const Frame& request);
    // Reads frames until the reply to the request sent last, or the port's
    // time-out. Frames under another id or of another protocol are dropped and
    // counted in r.lateBytesDiscarded. The reply is put in r as the RTU frame it
    // stands for; the gateway's exception 0A or 0B (no path, no answer from the
    // controller) leaves r empty, as no reply does. False when the reply came only in part, or with
    // a header no frame can have: r then holds what came of it, and the reply is damaged whatever
    // its bytes say.
    bool readReply(int port, Exchanged& r);

  private:
    void follow(int port);

    uint64_t connection_ = 0;
    uint16_t awaited_ = 0; // the transaction id of the request sent last
    MbapReceiver receiver_;
};
