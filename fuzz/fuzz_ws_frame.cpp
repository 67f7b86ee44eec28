// A WebSocket client's frame head, a close frame's payload and a text
// message: any bytes are taken; a head is judged from its first bytes
// alone and never lets through more than its bound.
#include "web/ws_frame.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const FrameHead h = parseClientFrameHead(bytes);
    switch (h.status) {
    case FrameHead::Status::complete:
        if (h.headBytes > size || h.headBytes > kMaxFrameHead || h.length > kMaxFramePayload)
            std::abort();
        if ((h.opcode & 0x08) != 0 && (!h.fin || h.length > 125)) std::abort();
        break;
    case FrameHead::Status::refused:
        if (h.closeCode != wsclose::protocolError && h.closeCode != wsclose::tooBig) std::abort();
        break;
    case FrameHead::Status::incomplete:
        if (size >= kMaxFrameHead) std::abort();
        break;
    }
    // What lies past the head never changes the verdict.
    if (size > kMaxFrameHead &&
        parseClientFrameHead(bytes.substr(0, kMaxFrameHead)).status != h.status)
        std::abort();
    const CloseAsked asked = readClosePayload(bytes);
    if (asked.wrong ? asked.answer != wsclose::protocolError && asked.answer != wsclose::notText
                    : asked.answer < 1000 || asked.answer > 4999)
        std::abort();
    validUtf8(bytes);
    return 0;
}
