#pragma once
// How a line frames its requests and tells its replies from late answers to
// earlier ones: RTU on a serial line or a raw socket (rtu_framing.h), or
// Modbus TCP through a gateway (mbap_line.h). The line picks one as its
// port opens, by what the port reaches; Line::exchange is the same for both.
#include "base/clock.h"
#include "link/exchange.h"
#include "link/frame_observers.h"
#include "link/frames.h"
#include "serial/net_endpoint.h"
#include "serial/serial_service.h"

#include <memory>

class LineFramingBackend {
  public:
    virtual ~LineFramingBackend() = default;
    virtual LineFraming framing() const = 0;
    // Before a request: answers to earlier requests that may still come are
    // waited out, so none is taken for this one's. Each request the backend
    // sends on its own to that end is told to `told`. Returns the bytes of
    // late answers read and dropped.
    virtual int clearFor(ComPort& port, const Frame& request, const FrameObserver& told) = 0;
    // Discards what the port has received, as far as the framing allows.
    virtual void flushReplies(ComPort& port) = 0;
    // Writes the completed request as this framing puts it on the wire.
    virtual void send(ComPort& port, const Frame& request) = 0;
    // Reads the reply to the request sent last, at `sent`, into r as the RTU
    // frame it stands for (r.lateBytesDiscarded counts what was dropped
    // ahead of it). Returns false when the stream lost its framing: what
    // came of the reply is in r, and the port must connect afresh.
    virtual bool readReply(ComPort& port, const Frame& request, int expected, Clock::TimePoint sent,
                           ExchangeResult& r) = 0;
    // The port's input was read until quiet, or the port closed: no late
    // answer waits in it any longer.
    virtual void inputQuiet() = 0;
    // The line is on another port now: nothing awaited on the old one
    // comes on this one.
    virtual void forgetAll() = 0;
};

std::unique_ptr<LineFramingBackend> makeLineFraming(LineFraming framing);
