#pragma once
// The master's end of the simulator's line, opened with plain POSIX calls so
// these tests do not lean on the program's own serial code.
#include "link/crc.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

inline Bytes withCrc(Bytes frame) {
    const uint16_t crc = crc16(frame.data(), frame.size());
    frame.push_back(uint8_t(crc & 0xFF));
    frame.push_back(uint8_t(crc >> 8));
    return frame;
}

inline Bytes readRequest(uint8_t id, uint16_t first, uint16_t count, uint8_t function = 0x03) {
    return withCrc(
        {id, function, uint8_t(first >> 8), uint8_t(first), uint8_t(count >> 8), uint8_t(count)});
}

inline Bytes writeRequest(uint8_t id, uint16_t address, uint16_t value) {
    return withCrc(
        {id, 0x06, uint8_t(address >> 8), uint8_t(address), uint8_t(value >> 8), uint8_t(value)});
}

inline bool goodCrc(const Bytes& frame) {
    return crcMatches(frame.data(), frame.size());
}

class Line {
  public:
    explicit Line(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Line() {
        if (fd_ >= 0) ::close(fd_);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool send(const Bytes& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }

    // Reads until count bytes arrived or the deadline passed; returns what came.
    Bytes receive(std::size_t count, std::chrono::milliseconds within = std::chrono::seconds(2)) {
        Bytes got;
        const auto deadline = Clock::now() + within;
        while (got.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) <= 0) continue;
            uint8_t buffer[512];
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    Bytes transact(const Bytes& request, std::size_t replyLength) {
        send(request);
        return receive(replyLength);
    }

  private:
    int fd_ = -1;
};

} // namespace simtest
