#pragma once
// What the connection probe found, and how to name a reply that came but
// was no good answer: the operator needs to know that something answered,
// and what, rather than be sent to check a cable that works.
#include "link/results.h"

#include <cstdint>
#include <string>

struct ProbeResult {
    bool answered = false;        // our controller, with a model code we know
    uint8_t modelCode = 0;        // the identification register's high byte
    uint8_t identification = 0;   // its low byte, shown to the operator
    Fault fault = Fault::noReply; // how the line judged the reply
    uint8_t exceptionCode = 0;    // with Fault::exception
    uint8_t replyAddress = 0;     // bytes 0 and 1 of whatever came back
    uint8_t replyFunction = 0;
    uint8_t replyByteCount = 0; // and bytes 2 and 3: a read's byte count and
    uint8_t replyHigh = 0;      // its first register's high byte
};

// "a reply from slave 2, not from id 1", "exception 02 (illegal data
// address)", "model code 0x58, which is no Q7 controller", ...; empty when
// nothing came back or the probe was answered.
std::string probeReplyText(const ProbeResult& probe, uint16_t controllerId);
