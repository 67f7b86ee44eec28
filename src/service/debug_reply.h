#pragma once
// How the debug panel lays out whatever bytes came back, so that any reply,
// however malformed, shows without reading past what the panel holds, and a
// byte that never arrived shows as nothing rather than as a 0 it never was.
#include "base/hex_text.h"
#include "link/crc.h"
#include "link/frames.h"
#include "link/results.h"
#include "link/scale.h"

#include <cstdint>
#include <optional>
#include <string>

struct DebugReplyView {
    // Each place holds the byte that arrived there, or nothing.
    std::optional<uint8_t> address, function, byte2;
    std::optional<uint8_t> regLow; // a write echo's register low byte
    std::optional<uint8_t> dataHigh, dataLow, crcLow, crcHigh;
    std::optional<double> value; // the data word as a temperature register reads
    // The CRC the bytes before the CRC's place call for; nothing when no
    // byte arrived.
    std::optional<uint8_t> checkCrcLow, checkCrcHigh;
};

// reply holds 8 bytes, count of them arrived. A write echo carries the
// register low byte at 3; a read reply has its data there instead, so every
// later byte sits one place earlier. An exception reply has its code at 2
// and its CRC right after: it carries no data.
inline DebugReplyView decodeDebugReply(const uint8_t (&reply)[8], int count, bool write,
                                       bool exception, Scale decimalPoint) {
    auto at = [&](int i) { return i < count ? std::optional<uint8_t>(reply[i]) : std::nullopt; };
    const int data = write ? 4 : 3;
    const int crc = exception ? 3 : data + 2;
    DebugReplyView v;
    v.address = at(0);
    v.function = at(1);
    v.byte2 = at(2);
    if (write && !exception) v.regLow = at(3);
    if (!exception) {
        v.dataHigh = at(data);
        v.dataLow = at(data + 1);
        if (v.dataHigh && v.dataLow)
            v.value = decimalPoint.toValue(signedWord(*v.dataHigh, *v.dataLow));
    }
    v.crcLow = at(crc);
    v.crcHigh = at(crc + 1);
    if (count > 0) {
        const uint16_t check = crc16(reply, std::size_t(crc));
        v.checkCrcLow = uint8_t(check & 0xFF);
        v.checkCrcHigh = uint8_t(check >> 8);
    }
    return v;
}

// What happened, in words: no reply, an exception with its function and the
// name of its code, or how many of the expected bytes arrived. The CRC and
// the rest are the engineer's to judge.
inline std::string debugReplyStatus(int count, int expected, bool exception, Fault verdict,
                                    const uint8_t (&reply)[8]) {
    if (count == 0)
        return verdict == Fault::lineLost ? "no reply: the port's device is gone" : "no reply";
    if (exception) {
        const std::string name = exceptionName(reply[2]);
        return "exception reply to function " + hexByte(uint8_t(reply[1] & 0x7F)) + ": code " + hexByte(reply[2]) +
               (name.empty() ? "" : ", " + name);
    }
    if (count < expected)
        return "only " + std::to_string(count) + " of " + std::to_string(expected) +
               " bytes arrived";
    return std::to_string(count) + " bytes arrived";
}
