#include "base/json_text.h"

namespace {

// The length of the well-formed UTF-8 sequence text starts with; 0 when it
// starts with none (a stray continuation byte, a sequence cut short, an
// overlong form, a surrogate, or a code point beyond U+10FFFF).
std::size_t utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < n || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return n;
}

} // namespace

std::string jsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    while (!text.empty()) {
        const char c = text.front();
        const auto u = static_cast<unsigned char>(c);
        std::size_t used = 1;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else if (const std::size_t n = utf8Length(text)) {
            used = n;
            out += text.substr(0, n);
        } else {
            // A broker and its clients take only UTF-8; a byte that is none
            // would make them drop the whole message.
            out += "\\ufffd";
        }
        text.remove_prefix(used);
    }
    return out + '"';
}
