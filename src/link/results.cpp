#include "link/results.h"

#include <cstdio>

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
    case Fault::exception: {
        char text[24];
        std::snprintf(text, sizeof text, "exception %02X", exceptionCode);
        return text;
    }
    case Fault::mismatch:
        return "reply to another request";
    case Fault::lineLost:
        return "line lost";
    }
    return "unknown";
}
