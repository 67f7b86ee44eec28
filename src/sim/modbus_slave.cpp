#include "sim/modbus_slave.h"

#include "link/crc.h"
#include "sim/register_map.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

constexpr uint8_t kReadHolding = 0x03;
constexpr uint8_t kReadInput = 0x04;
constexpr uint8_t kWriteSingle = 0x06;

uint16_t word(const Request& r, int at) {
    return uint16_t(r[at] << 8 | r[at + 1]);
}

Frame readReply(const Request& request, const RegisterMap& registers) {
    const uint16_t first = word(request, 2);
    const int count = word(request, 4);
    if (count < 1 || count > kMaxReadCount)
        return exceptionReply(request[0], request[1], kExIllegalValue);
    if (!RegisterMap::readable(first, count))
        return exceptionReply(request[0], request[1], kExIllegalAddress);
    Frame reply{request[0], request[1], uint8_t(2 * count)};
    for (int i = 0; i < count; ++i) {
        const uint16_t value = registers.get(uint16_t(first + i));
        reply.push_back(uint8_t(value >> 8));
        reply.push_back(uint8_t(value & 0xFF));
    }
    appendCrc(reply);
    return reply;
}

Frame writeReply(const Request& request, RegisterMap& registers) {
    const uint8_t code = registers.writeFromLine(word(request, 2), word(request, 4));
    if (code != 0) return exceptionReply(request[0], request[1], code);
    return Frame(request.begin(), request.end());
}

} // namespace

void FrameAssembler::feed(const uint8_t* data, std::size_t length) {
    buffer_.insert(buffer_.end(), data, data + length);
}

std::optional<Request> FrameAssembler::next() {
    while (buffer_.size() >= 8) {
        if (crcMatches(buffer_.data(), 8)) {
            Request request;
            std::copy_n(buffer_.begin(), 8, request.begin());
            buffer_.erase(buffer_.begin(), buffer_.begin() + 8);
            return request;
        }
        buffer_.erase(buffer_.begin());
    }
    return std::nullopt;
}

void appendCrc(Frame& frame) {
    const uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(uint8_t(crc & 0xFF));
    frame.push_back(uint8_t(crc >> 8));
}

Frame exceptionReply(uint8_t address, uint8_t function, uint8_t code) {
    Frame reply{address, uint8_t(function | 0x80), code};
    appendCrc(reply);
    return reply;
}

Frame answerRequest(const Request& request, RegisterMap& registers) {
    switch (request[1]) {
    case kReadHolding:
    case kReadInput:
        return readReply(request, registers);
    case kWriteSingle:
        return writeReply(request, registers);
    default:
        return exceptionReply(request[0], request[1], kExIllegalFunction);
    }
}

Frame answerMalformed(const Request& request) {
    const uint8_t function = request[1];
    const bool served =
        function == kReadHolding || function == kReadInput || function == kWriteSingle;
    return exceptionReply(request[0], function, served ? kExIllegalValue : kExIllegalFunction);
}

std::string hexString(const uint8_t* data, std::size_t length) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02X", data[i]);
        if (i) text += ' ';
        text += byte;
    }
    return text;
}

} // namespace sim
