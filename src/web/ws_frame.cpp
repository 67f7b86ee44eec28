#include "web/ws_frame.h"

namespace {

FrameHead refusedHead(int code) {
    FrameHead h;
    h.status = FrameHead::Status::refused;
    h.closeCode = code;
    return h;
}

std::uint8_t byteAt(std::string_view bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

bool reservedOpcode(int op) {
    return (op > wsop::binary && op < wsop::close) || op > wsop::pong;
}

} // namespace

FrameHead parseClientFrameHead(std::string_view bytes, std::uint64_t maxPayload) {
    FrameHead h;
    if (bytes.size() < 2) return h;
    const std::uint8_t first = byteAt(bytes, 0), second = byteAt(bytes, 1);
    h.fin = (first & 0x80) != 0;
    h.opcode = first & 0x0F;
    // No extension was agreed, so no reserved bit may be set.
    if ((first & 0x70) != 0 || reservedOpcode(h.opcode)) return refusedHead(wsclose::protocolError);
    const bool control = (h.opcode & 0x08) != 0;
    const std::uint8_t short7 = second & 0x7F;
    if (control && (!h.fin || short7 > 125)) return refusedHead(wsclose::protocolError);
    if ((second & 0x80) == 0) return refusedHead(wsclose::protocolError);
    std::size_t pos = 2;
    if (short7 < 126) {
        h.length = short7;
    } else {
        const std::size_t n = short7 == 126 ? 2 : 8;
        if (bytes.size() < pos + n) return h;
        for (std::size_t i = 0; i < n; ++i)
            h.length = h.length << 8 | byteAt(bytes, pos + i);
        pos += n;
        if (n == 8 && (h.length >> 63) != 0) return refusedHead(wsclose::protocolError);
        if ((n == 2 && h.length < 126) || (n == 8 && h.length <= 0xFFFF))
            return refusedHead(wsclose::protocolError);
    }
    if (h.length > maxPayload) return refusedHead(wsclose::tooBig);
    if (bytes.size() < pos + 4) return h;
    for (std::size_t i = 0; i < 4; ++i)
        h.mask[i] = byteAt(bytes, pos + i);
    h.headBytes = pos + 4;
    h.status = FrameHead::Status::complete;
    return h;
}

void unmask(std::string& payload, const std::array<std::uint8_t, 4>& mask) {
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = char(static_cast<std::uint8_t>(payload[i]) ^ mask[i % 4]);
}

std::string serverFrame(int opcode, std::string_view payload) {
    std::string out(1, char(0x80 | opcode));
    const std::uint64_t n = payload.size();
    if (n < 126) {
        out += char(n);
    } else if (n <= 0xFFFF) {
        out += char(126);
        out += char(n >> 8);
        out += char(n & 0xFF);
    } else {
        out += char(127);
        for (int shift = 56; shift >= 0; shift -= 8)
            out += char((n >> shift) & 0xFF);
    }
    out.append(payload);
    return out;
}

std::string closePayload(int code) {
    return {char(code >> 8), char(code & 0xFF)};
}

CloseAsked readClosePayload(std::string_view payload) {
    if (payload.empty()) return {};
    if (payload.size() == 1) return {wsclose::protocolError, true};
    const int code = byteAt(payload, 0) << 8 | byteAt(payload, 1);
    // The codes a peer may send (1004-1006 and 1015 are never sent;
    // 1012-2999 is the registry's, 3000-4999 applications').
    const bool sendable = (code >= 1000 && code <= 1003) || (code >= 1007 && code <= 1014) ||
                          (code >= 3000 && code <= 4999);
    if (!sendable) return {wsclose::protocolError, true};
    if (!validUtf8(payload.substr(2))) return {wsclose::notText, true};
    return {code, false};
}

bool validUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::uint8_t c = byteAt(text, i);
        std::size_t more;
        std::uint32_t value;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            value = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            value = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            value = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= text.size()) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const std::uint8_t next = byteAt(text, i + k);
            if ((next & 0xC0) != 0x80) return false;
            value = value << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and past U+10FFFF are not UTF-8.
        if ((more == 2 && value < 0x800) || (more == 3 && value < 0x10000) || value > 0x10FFFF ||
            (value >= 0xD800 && value <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}
