#include "link/mbap.h"

#include "link/crc.h"

#include <algorithm>

std::vector<uint8_t> mbapRequest(uint16_t transaction, const Frame& rtu) {
    const int length = int(rtu.size()) - 2; // unit id and PDU
    std::vector<uint8_t> out{uint8_t(transaction >> 8), uint8_t(transaction), 0, 0,
                             uint8_t(length >> 8),      uint8_t(length)};
    out.insert(out.end(), rtu.begin(), rtu.begin() + length);
    return out;
}

int MbapReceiver::length() const {
    return bytes_[4] << 8 | bytes_[5];
}

int MbapReceiver::wanted() const {
    // Every frame holds at least the unit id, so the whole header is read at once.
    if (bytes_.size() < 6) return kMbapHeader - int(bytes_.size());
    if (broken()) return 0;
    return std::max(0, 6 + length() - int(bytes_.size()));
}

void MbapReceiver::take(const uint8_t* bytes, int count) {
    bytes_.insert(bytes_.end(), bytes, bytes + std::max(count, 0));
}

bool MbapReceiver::broken() const {
    return bytes_.size() >= 6 && (length() < kMbapMinLength || length() > kMbapMaxLength);
}

bool MbapReceiver::lengthHolds() const {
    if (!whole() || !isModbus()) return true;
    const int unitAndPdu = length();
    const uint8_t function = bytes_[kMbapHeader];
    if (function & 0x80) return unitAndPdu == 3; // unit, function, exception code
    if (function == kFnReadHolding || function == kFnReadInput)
        return unitAndPdu >= 3 && unitAndPdu == 3 + bytes_[kMbapHeader + 1];
    if (function == kFnWriteSingle) return unitAndPdu == 6;
    return true;
}

bool MbapReceiver::whole() const {
    return bytes_.size() >= 6 && !broken() && int(bytes_.size()) == 6 + length();
}

uint16_t MbapReceiver::transaction() const {
    return uint16_t(bytes_[0] << 8 | bytes_[1]);
}

bool MbapReceiver::isModbus() const {
    return bytes_.size() >= 4 && bytes_[2] == 0 && bytes_[3] == 0;
}

int MbapReceiver::rtuFrame(uint8_t* out) const {
    const int body = std::clamp(int(bytes_.size()) - (kMbapHeader - 1), 0, kMaxReply - 2);
    std::copy_n(bytes_.begin() + (kMbapHeader - 1), body, out);
    if (!whole()) return body;
    const uint16_t crc = crc16(out, std::size_t(body));
    out[body] = uint8_t(crc & 0xFF);
    out[body + 1] = uint8_t(crc >> 8);
    return body + 2;
}
