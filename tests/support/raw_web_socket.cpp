#include "support/raw_web_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Steady = std::chrono::steady_clock;

int msUntil(Steady::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
    return int(std::max<long>(0, left.count()));
}

} // namespace

RawWebSocket::RawWebSocket(std::uint16_t port, const std::string& from, int receiveBuffer) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    if (receiveBuffer > 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &source.sin_addr);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(port);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
        ::connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

RawWebSocket::~RawWebSocket() {
    if (fd_ >= 0) ::close(fd_);
}

int RawWebSocket::handshake(const std::string& headers) {
    const std::string request = "GET /ws HTTP/1.1\r\n" + headers +
                                "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Version: 13\r\n\r\n";
    if (!send(request)) return 0;
    const auto deadline = Steady::now() + std::chrono::seconds(30);
    std::size_t blank;
    while ((blank = pending_.find("\r\n\r\n")) == std::string::npos)
        if (!fill(pending_.size() + 1, deadline)) return 0;
    answer_ = pending_.substr(0, blank + 4);
    pending_.erase(0, blank + 4);
    if (!answer_.starts_with("HTTP/1.1 ")) return 0;
    return std::atoi(answer_.c_str() + 9);
}

bool RawWebSocket::send(const std::string& bytes, std::chrono::milliseconds within) {
    const auto deadline = Steady::now() + within;
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{fd_, POLLOUT, 0};
        const int left = msUntil(deadline);
        if (left == 0) return false;
        ::poll(&p, 1, left);
    }
    return true;
}

std::string RawWebSocket::frame(int opcode, const std::string& payload, bool masked) {
    std::string out(1, char(0x80 | opcode));
    const char maskBit = masked ? char(0x80) : char(0);
    const std::size_t n = payload.size();
    if (n < 126) {
        out += char(maskBit | char(n));
    } else if (n <= 0xFFFF) {
        out += char(maskBit | 126);
        out += char(n >> 8);
        out += char(n & 0xFF);
    } else {
        out += char(maskBit | 127);
        for (int shift = 56; shift >= 0; shift -= 8)
            out += char((std::uint64_t(n) >> shift) & 0xFF);
    }
    if (!masked) return out + payload;
    const char key[4] = {0x12, 0x34, 0x56, 0x78};
    out.append(key, 4);
    for (std::size_t i = 0; i < n; ++i)
        out += char(payload[i] ^ key[i % 4]);
    return out;
}

bool RawWebSocket::fill(std::size_t count, Steady::time_point deadline) {
    while (pending_.size() < count) {
        if (ended_) return false;
        pollfd p{fd_, POLLIN, 0};
        const int left = msUntil(deadline);
        if (::poll(&p, 1, left) <= 0) {
            if (left == 0) return false;
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) ended_ = true;
        if (n > 0) pending_.append(buffer, std::size_t(n));
    }
    return true;
}

RawWebSocket::Frame RawWebSocket::receive(std::chrono::milliseconds within) {
    const auto deadline = Steady::now() + within;
    if (!fill(2, deadline)) return {};
    std::size_t head = 2;
    std::uint64_t length = std::uint8_t(pending_[1]) & 0x7F;
    if (length >= 126) {
        const std::size_t bytes = length == 126 ? 2 : 8;
        if (!fill(2 + bytes, deadline)) return {};
        length = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            length = length << 8 | std::uint8_t(pending_[2 + i]);
        head += bytes;
    }
    if (!fill(head + length, deadline)) return {};
    Frame f{std::uint8_t(pending_[0]) & 0x0F, pending_.substr(head, length)};
    pending_.erase(0, head + length);
    return f;
}

void RawWebSocket::reset() {
    const linger now{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    ::close(fd_);
    fd_ = -1;
}

bool RawWebSocket::closedByPeer(std::chrono::milliseconds within) {
    const auto deadline = Steady::now() + within;
    while (!ended_) {
        pending_.clear();
        if (!fill(1, deadline) && !ended_) return false;
    }
    return true;
}
