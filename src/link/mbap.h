#pragma once
// Modbus TCP framing, the master's side. A request goes out as the 7-byte
// header (transaction id, protocol id 0, length, unit id) and the PDU, the
// RTU frame's CRC dropped. A reply comes back the same way; it is re-formed
// into the RTU frame it stands for, so that one judge (reply_judge.h) and
// one way of showing frames serve every line. No I/O here.
#include "link/frames.h"

#include <cstdint>
#include <vector>

inline constexpr int kMbapHeader = 7;
// Unit id and PDU: a header with a length outside these frames nothing.
inline constexpr int kMbapMinLength = 2;
inline constexpr int kMbapMaxLength = 254;

// The completed RTU request (address and CRC in place) under the transaction id.
std::vector<uint8_t> mbapRequest(uint16_t transaction, const Frame& rtu);

// Puts the frames of a byte stream back together. It asks for no more bytes
// than the frame it is in still needs, so reading never runs into the next
// frame, and a frame cut short by a time-out is finished by the next read.
class MbapReceiver {
  public:
    // How many bytes the frame begun (or the next header) still needs.
    int wanted() const;
    // Takes bytes read off the stream, at most wanted().
    void take(const uint8_t* bytes, int count);
    bool started() const { return !bytes_.empty(); }
    bool whole() const;
    // The header gives a length no frame can have: where the next frame
    // starts cannot be known.
    bool broken() const;
    // Known once the first two bytes came.
    bool hasTransaction() const { return bytes_.size() >= 2; }
    uint16_t transaction() const;
    // A whole Modbus frame's header gives the length its own function and
    // byte count give. One that does not has cut its frame short or run
    // into the next one: where the next frame starts cannot be known. A
    // function this program never asks for is taken by the header alone.
    bool lengthHolds() const;
    // The protocol id is 0: a Modbus frame. Others are passed over.
    bool isModbus() const;
    int size() const { return int(bytes_.size()); }
    // What came of the frame as the RTU frame it stands for: unit id and
    // PDU, with their CRC appended once the frame is whole. out holds
    // kMaxReply bytes; returns the count.
    int rtuFrame(uint8_t* out) const;
    // Forgets the frame, whole or not: the next byte starts a header.
    void clear() { bytes_.clear(); }

  private:
    int length() const; // the header's length field
    std::vector<uint8_t> bytes_;
};
