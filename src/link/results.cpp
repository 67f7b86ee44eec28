#include "link/results.h"

#include "base/hex_text.h"

std::string exceptionName(uint8_t code) {
    switch (code) {
    case 0x01:
        return "illegal function";
    case 0x02:
        return "illegal data address";
    case 0x03:
        return "illegal data value";
    case 0x04:
        return "slave device failure";
    case 0x05:
        return "acknowledge";
    case 0x06:
        return "slave device busy";
    case 0x07:
        return "negative acknowledge";
    case 0x08:
        return "memory parity error";
    case 0x0A:
        return "gateway path unavailable";
    case 0x0B:
        return "gateway target device failed to respond";
    default:
        return "";
    }
}

std::string describe(Fault fault, uint8_t exceptionCode) {
    switch (fault) {
    case Fault::none:
        return "good";
    case Fault::noReply:
        return "no reply";
    case Fault::damaged:
        return "damaged reply";
    case Fault::wrongSlave:
        return "reply from another slave";
    case Fault::wrongFunction:
        return "reply for another function";
    case Fault::exception:
        return "exception " + hexByte(exceptionCode);
    case Fault::mismatch:
        return "reply to another request";
    case Fault::lineLost:
        return "line lost";
    }
    return "unknown";
}
