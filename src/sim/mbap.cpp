#include "sim/mbap.h"

#include <algorithm>

namespace sim {

namespace {

// Unit and function at the least; a PDU is at most 253 bytes.
constexpr std::size_t kMinLength = 2;
constexpr std::size_t kMaxLength = 254;
constexpr std::size_t kRequestPdu = 5; // function, address or first register, value or count

uint16_t word(const std::vector<uint8_t>& bytes, std::size_t at) {
    return uint16_t(bytes[at] << 8 | bytes[at + 1]);
}

} // namespace

std::optional<MbapRequest> MbapAssembler::next() {
    while (!broken_ && buffer_.size() >= kMbapHeader) {
        const std::size_t length = word(buffer_, 4);
        if (length < kMinLength || length > kMaxLength) {
            broken_ = true;
            buffer_.clear();
            return std::nullopt;
        }
        const std::size_t total = kMbapHeader - 1 + length;
        if (buffer_.size() < total) return std::nullopt;
        const auto frameEnd = buffer_.begin() + long(total);
        if (word(buffer_, 2) != 0) {
            buffer_.erase(buffer_.begin(), frameEnd);
            continue;
        }
        MbapRequest out;
        out.transaction = word(buffer_, 0);
        out.wellFormed = length - 1 == kRequestPdu;
        const auto unit = buffer_.begin() + long(kMbapHeader - 1);
        std::copy(unit, unit + long(std::min<std::size_t>(length, 1 + kRequestPdu)),
                  out.request.begin());
        out.hex = hexString(buffer_.data(), total);
        buffer_.erase(buffer_.begin(), frameEnd);
        return out;
    }
    return std::nullopt;
}

Frame mbapReply(uint16_t transaction, const Frame& rtuReply) {
    const std::size_t length = rtuReply.size() >= 2 ? rtuReply.size() - 2 : 0;
    Frame out(kMbapHeader - 1 + length);
    out[0] = uint8_t(transaction >> 8);
    out[1] = uint8_t(transaction);
    out[4] = uint8_t(length >> 8);
    out[5] = uint8_t(length);
    std::copy_n(rtuReply.begin(), length, out.begin() + long(kMbapHeader - 1));
    return out;
}

} // namespace sim
