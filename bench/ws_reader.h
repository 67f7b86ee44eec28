#pragma once
// A page's WebSocket as the benchmarks see it: a plain socket that makes the
// handshake on /ws and keeps every text message the server pushes, with
// when it arrived. Only what a server sends a client is read (unmasked
// frames); nothing is sent after the handshake.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bench {

class WsReader {
  public:
    using Clock = std::chrono::steady_clock;

    // Connects to 127.0.0.1:port and reads on a thread of its own; false
    // when the server did not switch protocols.
    bool open(int port) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(uint16_t(port));
        if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return false;
        const std::string hello = "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                  "Connection: Upgrade\r\nSec-WebSocket-Key: "
                                  "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
        if (write(fd_, hello.data(), hello.size()) != ssize_t(hello.size())) return false;
        std::string head;
        char c;
        while (head.find("\r\n\r\n") == std::string::npos && read(fd_, &c, 1) == 1)
            head += c;
        if (head.rfind("HTTP/1.1 101", 0) != 0) return false;
        thread_ = std::thread([this] { readFrames(); });
        return true;
    }
    ~WsReader() {
        if (fd_ >= 0) shutdown(fd_, SHUT_RDWR);
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) close(fd_);
    }

    // Seconds from `after` to the first message after it that holds text;
    // -1 when none came within 10 s.
    double arrival(const std::string& text, Clock::time_point after) {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < deadline) {
            {
                std::lock_guard lock(mutex_);
                for (const auto& [when, message] : messages_)
                    if (when > after && message.find(text) != std::string::npos)
                        return std::chrono::duration<double>(when - after).count();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return -1;
    }

  private:
    bool take(void* into, std::size_t n) {
        auto* p = static_cast<char*>(into);
        for (std::size_t got = 0; got < n;) {
            const ssize_t r = read(fd_, p + got, n - got);
            if (r <= 0) return false;
            got += std::size_t(r);
        }
        return true;
    }
    void readFrames() {
        for (;;) {
            uint8_t head[2];
            if (!take(head, 2)) return;
            uint64_t length = head[1] & 0x7F;
            if (length >= 126) {
                uint8_t more[8];
                const std::size_t n = length == 126 ? 2 : 8;
                if (!take(more, n)) return;
                length = 0;
                for (std::size_t i = 0; i < n; ++i)
                    length = length << 8 | more[i];
            }
            std::string payload(length, '\0');
            if (!take(payload.data(), length)) return;
            if ((head[0] & 0x0F) == 0x9) { // a ping: answered, as a browser does
                std::string pong = {char(0x8A), char(0x80 | payload.size()), 0, 0, 0, 0};
                pong += payload; // masked with zeros: the same bytes
                if (write(fd_, pong.data(), pong.size()) != ssize_t(pong.size())) return;
                continue;
            }
            if ((head[0] & 0x0F) != 0x1) continue; // text frames only; none is split here
            std::lock_guard lock(mutex_);
            messages_.emplace_back(Clock::now(), std::move(payload));
        }
    }

    int fd_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::pair<Clock::time_point, std::string>> messages_;
};

} // namespace bench
