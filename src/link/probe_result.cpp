#include "link/probe_result.h"

#include "base/hex_text.h"

std::string probeReplyText(const ProbeResult& p, uint16_t controllerId) {
    if (p.answered) return "";
    switch (p.fault) {
    case Fault::noReply:
    case Fault::lineLost:
        return "";
    case Fault::none:
        return "model code 0x" + hexByte(p.modelCode) + ", which is no Q7 controller";
    case Fault::damaged:
        return "a damaged reply (bad CRC or length)";
    case Fault::wrongSlave:
        return "a reply from slave " + std::to_string(p.replyAddress) + ", not from id " +
               std::to_string(controllerId);
    case Fault::wrongFunction:
        return "a reply for function 0x" + hexByte(uint8_t(p.replyFunction & 0x7F)) +
               ", not for a read";
    case Fault::exception: {
        const std::string name = exceptionName(p.exceptionCode);
        return "exception " + hexByte(p.exceptionCode) +
               (name.empty() ? "" : " (" + name + ")");
    }
    case Fault::mismatch:
        return "a reply to another request";
    }
    return "";
}
