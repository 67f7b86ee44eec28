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

std::optional<Outgoing> FaultQueue::reply(const Request& request,
                                          const std::function<Frame()>& execute) {
    // A dropped reply is lost on the way back: the controller still acted on the request.
    if (drop_ > 0) {
        --drop_;
        execute();
        return std::nullopt;
    }
    Outgoing out;
    if (auto code = take(exceptions_))
        out.bytes = exceptionReply(request[0], request[1], *code);
    else
        out.bytes = execute();

    if (auto address = take(wrongSlaves_); address && out.bytes.size() >= 2) {
        out.bytes[0] = *address;
        out.bytes.resize(out.bytes.size() - 2);
        appendCrc(out.bytes);
    }
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
