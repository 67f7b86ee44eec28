#include "sim/sim_port.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

void closeKeepingErrno(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

} // namespace

bool openPty(Pty& pty) {
    if (::openpty(&pty.master, &pty.slave, nullptr, nullptr, nullptr) != 0) return false;
    char name[PATH_MAX];
    if (::ptsname_r(pty.master, name, sizeof name) != 0) {
        closeKeepingErrno(pty.master);
        closeKeepingErrno(pty.slave);
        pty.master = pty.slave = -1;
        return false;
    }
    pty.path = name;
    termios tio{};
    if (::tcgetattr(pty.master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(pty.master, TCSANOW, &tio);
    }
    ::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    ::fcntl(pty.master, F_SETFD, FD_CLOEXEC);
    ::fcntl(pty.slave, F_SETFD, FD_CLOEXEC);
    return true;
}

bool loopbackAddress(const std::string& host, in_addr& address) {
    const char* text = host == "localhost" ? "127.0.0.1" : host.c_str();
    return ::inet_pton(AF_INET, text, &address) == 1 && (ntohl(address.s_addr) >> 24) == 127;
}

int listenOn(const std::string& host, uint16_t port, uint16_t& boundPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (!loopbackAddress(host, address.sin_addr)) {
        errno = EADDRNOTAVAIL;
        return -1;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // A simulator restarted on its old port should not wait out TIME_WAIT.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closeKeepingErrno(fd);
        return -1;
    }
    boundPort = ntohs(address.sin_port);
    return fd;
}

int acceptClient(int listenFd) {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return -1;
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

ssize_t writeTo(int fd, bool socket, const uint8_t* data, std::size_t length) {
    return socket ? ::send(fd, data, length, MSG_NOSIGNAL) : ::write(fd, data, length);
}

} // namespace sim
