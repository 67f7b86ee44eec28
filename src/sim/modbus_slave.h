#pragma once
// The slave's side of Modbus RTU: finding requests in the byte stream and
// answering them from the register map. No I/O and no timing here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class RegisterMap;

using Frame = std::vector<uint8_t>;
using Request = std::array<uint8_t, 8>;

constexpr uint8_t kExIllegalFunction = 0x01;
constexpr uint8_t kExIllegalAddress = 0x02;
constexpr uint8_t kExIllegalValue = 0x03;
constexpr int kMaxReadCount = 125;

// Collects bytes from the line and hands out 8-byte requests with a good CRC.
// Leading garbage is dropped one byte at a time so a good frame behind it is
// still found.
class FrameAssembler {
  public:
    void feed(const uint8_t* data, std::size_t length);
    std::optional<Request> next();
    // Inter-frame silence: whatever is left cannot be the start of a frame.
    void discard() { buffer_.clear(); }
    bool empty() const { return buffer_.empty(); }

  private:
    std::vector<uint8_t> buffer_;
};

void appendCrc(Frame& frame);
Frame exceptionReply(uint8_t address, uint8_t function, uint8_t code);
// The reply to a request addressed to this slave (functions 03, 04, 06).
Frame answerRequest(const Request& request, RegisterMap& registers);
// A request whose PDU is not the length its function takes (Modbus TCP frames
// by length, so one can arrive): 03 for a function served, 01 otherwise.
Frame answerMalformed(const Request& request);
std::string hexString(const uint8_t* data, std::size_t length);

} // namespace sim
