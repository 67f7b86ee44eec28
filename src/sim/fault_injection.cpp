#include "sim/fault_injection.h"

namespace sim {

namespace {

template <typename T> std::optional<T> take(std::deque<T>& queue) {
    if (queue.empty()) return std::nullopt;
    T value = queue.front();
    queue.pop_front();
    return value;
}

} // namespace

std::optional<Frame> FaultQueue::answer(const Request& request,
                                        const std::function<Frame()>& execute) {
    // A dropped reply is lost on the way back: the controller still acted on the request.
    if (drop_ > 0) {
        --drop_;
        execute();
        return std::nullopt;
    }
    Frame reply;
    std::optional<uint8_t> code = take(exceptions_);
    if (!code && request[1] == 0x06) code = take(writeRefusals_);
    if (code)
        reply = exceptionReply(request[0], request[1], *code);
    else
        reply = execute();

    if (auto address = take(wrongSlaves_); address && reply.size() >= 2) {
        reply[0] = *address;
        reply.resize(reply.size() - 2);
        appendCrc(reply);
    }
    return reply;
}

Outgoing FaultQueue::onWire(Frame bytes) {
    Outgoing out{std::move(bytes)};
    if (auto flip = take(flips_)) {
        const auto [index, bit] = *flip;
        if (index >= 0 && std::size_t(index) < out.bytes.size() && bit >= 0 && bit < 8)
            out.bytes[index] ^= uint8_t(1u << bit);
    }
    if (auto length = take(truncations_))
        out.bytes.resize(std::min(out.bytes.size(), std::size_t(std::max(*length, 0))));
    if (auto count = take(noise_)) {
        Frame noise(std::size_t(std::max(*count, 0)));
        std::uniform_int_distribution<int> byte(0, 255);
        for (auto& b : noise)
            b = uint8_t(byte(random_));
        out.bytes.insert(out.bytes.begin(), noise.begin(), noise.end());
    }
    if (auto delay = take(delays_)) out.extraDelay = std::max(*delay, 0.0);
    return out;
}

} // namespace sim
