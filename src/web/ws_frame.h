#pragma once
// WebSocket frames (RFC 6455) as the web view's server reads a client's
// and writes its own. Pure and bounded: a frame's head is judged from its
// first bytes alone, so a frame that announces more than the bound is
// refused before any of its payload is read. No Qt here: it is fuzzed.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The page sends nothing but pongs and its close; a few KiB is room to spare.
inline constexpr std::uint64_t kMaxFramePayload = 4 * 1024;
inline constexpr std::size_t kMaxMessageBytes = 8 * 1024;
inline constexpr std::size_t kMaxFrameHead = 14;

namespace wsop {
inline constexpr int continuation = 0x0, text = 0x1, binary = 0x2, close = 0x8, ping = 0x9,
                     pong = 0xA;
}

// Close codes a server sends.
namespace wsclose {
inline constexpr int normal = 1000, goingAway = 1001, protocolError = 1002, notText = 1007,
                     policy = 1008, tooBig = 1009;
}

struct FrameHead {
    enum class Status {
        incomplete, // too few bytes to judge: wait for more
        complete,   // a frame the bounds allow; its payload follows the head
        refused,    // close with closeCode
    } status = Status::incomplete;
    bool fin = false;
    int opcode = 0;
    std::size_t headBytes = 0; // from the first byte to the payload
    std::uint64_t length = 0;  // of the payload
    std::array<std::uint8_t, 4> mask{};
    int closeCode = 0;
};

// The head of a frame from a client, from the bytes received so far.
// Refused: a reserved bit or opcode, a control frame fragmented or over 125
// bytes, a length not in its shortest form (1002), no mask (1002: a
// client masks every frame), or a payload over maxPayload (1009).
FrameHead parseClientFrameHead(std::string_view bytes, std::uint64_t maxPayload = kMaxFramePayload);

// Unmasks a payload read after its head, in place.
void unmask(std::string& payload, const std::array<std::uint8_t, 4>& mask);

// A whole frame from the server: final, unmasked.
std::string serverFrame(int opcode, std::string_view payload);
// The payload of a close frame with that code.
std::string closePayload(int code);

// What a client's close frame says: the code to answer with (its own, or
// 1000 for none), or 1002/1007 when the frame itself is wrong.
struct CloseAsked {
    int answer = wsclose::normal;
    bool wrong = false;
};
CloseAsked readClosePayload(std::string_view payload);

bool validUtf8(std::string_view text);
