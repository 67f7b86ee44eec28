#pragma once
// Modbus TCP on the slave's side: the 7-byte header (transaction, protocol,
// length, unit) in front of a PDU that carries no CRC. No I/O here.
#include "sim/modbus_slave.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

inline constexpr std::size_t kMbapHeader = 7;

struct MbapRequest {
    uint16_t transaction = 0;
    // The unit and PDU laid out as the RTU request they stand for (no CRC).
    Request request{};
    // The PDU had exactly the four data bytes a read or single write carries.
    bool wellFormed = false;
    std::string hex; // the whole frame as received, for the request log
};

class MbapAssembler {
  public:
    void feed(const uint8_t* data, std::size_t length) {
        buffer_.insert(buffer_.end(), data, data + length);
    }
    // The next whole request. Frames with a protocol id other than 0 are not
    // Modbus: their length still frames them, so they are passed over unanswered.
    std::optional<MbapRequest> next();
    // A length no frame can have was seen: where the next frame starts is
    // unknown, so nothing more on this stream can be trusted.
    bool broken() const { return broken_; }

  private:
    std::vector<uint8_t> buffer_;
    bool broken_ = false;
};

// The reply to a request: the RTU reply's address and PDU, its CRC dropped,
// behind a header echoing the request's transaction id.
Frame mbapReply(uint16_t transaction, const Frame& rtuReply);

} // namespace sim
