#include "base/hex_text.h"

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
} // namespace

std::string hexByte(uint8_t byte) {
    return {kDigits[byte >> 4], kDigits[byte & 0xF]};
}

std::string hexWord(uint16_t word) {
    return "0x" + hexByte(uint8_t(word >> 8)) + hexByte(uint8_t(word & 0xFF));
}

std::string hexBytes(const std::vector<uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += hexByte(b);
    }
    return text;
}
