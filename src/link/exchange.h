#pragma once
// One request and its reply: the single way onto the line, for the link's own
// files. Everything above goes through transfer.h.
#include "link/frames.h"
#include "link/results.h"

struct Exchanged {
    uint8_t bytes[kMaxReply] = {}; // bytes that did not arrive read as 0
    int count = 0;                 // bytes taken as the reply
    Fault verdict = Fault::noReply;
    uint8_t exceptionCode = 0;
    int lateBytesDiscarded = 0; // late answers to earlier requests, read and dropped
    Outcome outcome() const;    // the verdict, with the registers of a good read
};

// Whether whatever is still queued is discarded just before the request goes
// out. It belongs to no request of ours; only the debug panel's raw request,
// whose preparation came just before, goes without.
enum class FlushFirst { yes, no };

// Writes the completed request, pauses 0.03 s and reads replyLength bytes,
// stopping early at a whole exception reply. While the reply of an earlier
// request is still awaited (session_state.h), a different request waits
// until the line is clean, reading and dropping what comes; the same
// request again reads on until the line is quiet and takes the frame at
// the end. On a Modbus TCP line the reply is taken by its transaction id
// instead (mbap_line.h). Judges the reply, tells the send and frame
// observers, and notes silence and a lost line as line events.
Exchanged exchangeFrame(const Frame& request, int replyLength, FlushFirst flush, int attempt);

// Discards what the port has received: whatever reply was due before now
// is read or gone.
void flushReplies(int port);
