#include "serial/net_endpoint.h"
#include "serial/serial_port.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using SteadyClock = std::chrono::steady_clock;

// Sent data no gateway acknowledges for this long means the connection is
// dead (a gateway switched off sends no word of it): the line is lost.
constexpr unsigned kUnacknowledgedMs = 10000;

// Waits for the event until the deadline: 1 when it came, 0 on time-out,
// -1 when the socket reports an error or a hang-up.
int waitFor(int fd, short events, SteadyClock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) return 0;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, int(left.count()) + 1);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return 0;
        if (p.revents & events) return 1;
        return -1; // POLLERR, POLLHUP or POLLNVAL without the event
    }
}

// One address tried until the deadline: the connected socket, or -errno.
int connectOne(const addrinfo& a, SteadyClock::time_point deadline) {
    const int fd =
        ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
    if (fd < 0) return -errno;
    int err = 0;
    if (::connect(fd, a.ai_addr, a.ai_addrlen) != 0) {
        err = errno;
        if (err == EINPROGRESS) {
            if (waitFor(fd, POLLOUT, deadline) == 0) {
                err = ETIMEDOUT;
            } else {
                socklen_t len = sizeof err;
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            }
        }
    }
    if (err != 0) {
        ::close(fd);
        return -err;
    }
    return fd;
}

// Connects to the endpoint within the time; the socket, or -errno with the
// reason in words after the device's name in *why.
int connectTo(const std::string& device, SteadyClock::duration within, std::string* why) {
    const std::optional<NetEndpoint> e = parseEndpoint(device);
    if (!e) {
        if (why) *why = device + ": not an endpoint (tcp://HOST:PORT or rtu+tcp://HOST:PORT)";
        return -EINVAL;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc =
            getaddrinfo(e->host.c_str(), std::to_string(e->port).c_str(), &hints, &found);
        rc != 0) {
        if (why) *why = device + ": " + gai_strerror(rc);
        return -EHOSTUNREACH;
    }
    const auto deadline = SteadyClock::now() + within;
    int result = -EHOSTUNREACH;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        result = connectOne(*a, deadline);
        if (result >= 0 || result == -ETIMEDOUT) break;
    }
    freeaddrinfo(found);
    if (result < 0 && why) {
        *why = device + ": " + std::strerror(-result);
        if (result == -ETIMEDOUT)
            *why +=
                " (no answer within " +
                std::to_string(std::chrono::duration_cast<std::chrono::seconds>(within).count()) +
                " s)";
    }
    return result;
}

// A TCP connection to a gateway in a serial port's place. There is no
// device node, so no lock: who else talks to the gateway is its business.
// The baud rate and the character format are the gateway's own settings.
class TcpPort final : public SerialPort {
  public:
    ~TcpPort() override { close(); }

    int open(const std::string& device, std::string* why) override {
        close();
        const int fd = connectTo(device, kConnectTimeout, why);
        if (fd < 0) return fd;
        // Each request is one small write that must leave at once.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &kUnacknowledgedMs, sizeof kUnacknowledgedMs);
        fd_ = fd;
        return 0;
    }

    int configure(long, int, int, int) override { return fd_ < 0 ? -EBADF : 0; }

    int write(const uint8_t* data, int count) override {
        if (fd_ < 0) return -EBADF;
        int done = 0;
        const auto deadline = SteadyClock::now() + std::chrono::seconds(1);
        while (done < count) {
            // MSG_NOSIGNAL: a connection the gateway dropped must not end the program.
            const ssize_t n = ::send(fd_, data + done, size_t(count - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += int(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) {
                const int w = waitFor(fd_, POLLOUT, deadline);
                if (w < 0) lost_ = true;
                if (w <= 0) break;
                continue;
            }
            lost_ = true;
            break;
        }
        return done;
    }

    int readUntil(uint8_t* data, int count, Deadline deadline) override {
        if (fd_ < 0) return 0;
        int got = 0;
        while (got < count) {
            const ssize_t n = ::recv(fd_, data + got, size_t(count - got), 0);
            if (n > 0) {
                got += int(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) {
                const int w = waitFor(fd_, POLLIN, deadline);
                if (w < 0) lost_ = true;
                if (w <= 0) break;
                continue;
            }
            lost_ = true; // 0: the gateway closed the connection; or a reset
            break;
        }
        return got;
    }

    void flushInput() override {
        if (fd_ < 0) return;
        uint8_t discard[256];
        ssize_t n;
        while ((n = ::recv(fd_, discard, sizeof discard, MSG_DONTWAIT)) > 0) {
        }
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) lost_ = true;
    }
    // What was written has gone to the network already.
    void flushOutput() override {}
    int takeLineErrors() override { return 0; }

    void close() override {
        if (fd_ < 0) return;
        ::close(fd_);
        fd_ = -1;
        lost_ = false;
    }

    bool isOpen() const override { return fd_ >= 0; }
    bool lost() const override { return lost_; }

  private:
    int fd_ = -1;
    bool lost_ = false;
};

} // namespace

std::unique_ptr<SerialPort> makeTcpPort() {
    return std::make_unique<TcpPort>();
}

std::unique_ptr<SerialPort> makePortFor(const std::string& device) {
    return isNetworkDevice(device) ? makeTcpPort() : makeTermiosPort();
}

bool endpointAccepts(const std::string& device, SteadyClock::duration within) {
    const int fd = connectTo(device, within, nullptr);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}
