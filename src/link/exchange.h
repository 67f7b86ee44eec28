#pragma once
// What one request got back (Line::exchange, for the link's own files;
// everything above goes through transfer.h).
#include "link/frames.h"
#include "link/results.h"

struct ExchangeResult {
    uint8_t bytes[kMaxReply] = {}; // bytes that did not arrive read as 0
    int count = 0;                 // bytes taken as the reply
    Fault verdict = Fault::noReply;
    uint8_t exceptionCode = 0;
    int lateBytesDiscarded = 0; // late answers to earlier requests, read and dropped
    // A gateway's stream lost its framing and the line connected afresh:
    // the reply was spoilt on the way from the gateway, not by the controller.
    bool reconnected = false;
    Outcome outcome() const; // the verdict, with the registers of a good read
};

// Whether whatever is still queued is discarded just before the request goes
// out. It belongs to no request of ours; only the debug panel's raw request,
// whose preparation came just before, goes without.
enum class FlushFirst { yes, no };
