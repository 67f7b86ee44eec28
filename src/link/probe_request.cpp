#include "link/probe_request.h"

#include "link/line.h"

ProbeResult probeRequest(Line& line, uint16_t id) {
    Frame request = templates::probe;
    completeRequest(request, id);
    // Only the controller's own answer to this read says which model it is:
    // an exception reply, another slave's answer or a damaged one can carry
    // an '@' or a 'D' in the same place.
    ExchangeResult r = line.exchange(request, 7, FlushFirst::yes, 1);
    // A reply spoilt between a gateway and us says nothing of the
    // controller: it is asked once more on the new connection.
    if (r.reconnected) r = line.exchange(request, 7, FlushFirst::yes, 2);
    const Outcome o = r.outcome();
    ProbeResult result;
    result.fault = r.verdict;
    result.exceptionCode = r.exceptionCode;
    result.replyAddress = r.bytes[0];
    result.replyFunction = r.bytes[1];
    result.replyByteCount = r.bytes[2];
    result.replyHigh = r.bytes[3];
    if (o.ok()) {
        result.modelCode = uint8_t(o.words[0] >> 8);
        result.identification = uint8_t(o.words[0] & 0xFF);
    }
    result.answered = result.modelCode == kModelAt || result.modelCode == kModelD;
    return result;
}
