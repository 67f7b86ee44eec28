#include "support/raw_stream.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Steady = std::chrono::steady_clock;

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int connectTo(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

int msLeft(Steady::time_point deadline) {
    return int(std::max<long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count()));
}

} // namespace

uint16_t freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
}

bool listeningIn(int pid, uint16_t port) {
    // /proc/net/tcp: "sl local rem st ... inode", the local address as
    // HEXADDR:HEXPORT and 0A for a listening socket.
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    std::vector<std::string> inodes;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string sl, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        fields >> sl >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> inode;
        const auto colon = local.find(':');
        if (colon == std::string::npos || state != "0A") continue;
        if (std::stoul(local.substr(colon + 1), nullptr, 16) == port)
            inodes.push_back("socket:[" + inode + "]");
    }
    std::error_code error;
    for (const auto& fd :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        std::error_code ignored;
        const auto target = std::filesystem::read_symlink(fd.path(), ignored).string();
        if (std::find(inodes.begin(), inodes.end(), target) != inodes.end()) return true;
    }
    return false;
}

RawStream::RawStream(const std::string& device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
}

RawStream::RawStream(uint16_t loopbackPort) : fd_(connectTo(loopbackPort)), socket_(true) {
    if (fd_ < 0) return;
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

RawStream::~RawStream() {
    if (fd_ >= 0) ::close(fd_);
}

bool RawStream::send(const Bytes& bytes) {
    const ssize_t n = socket_ ? ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                              : ::write(fd_, bytes.data(), bytes.size());
    return n == ssize_t(bytes.size());
}

Bytes RawStream::receive(std::size_t count, std::chrono::milliseconds within) {
    Bytes got;
    const auto deadline = Steady::now() + within;
    while (got.size() < count && !ended_) {
        pollfd p{fd_, POLLIN, 0};
        const int left = msLeft(deadline);
        if (::poll(&p, 1, left) <= 0) {
            if (left == 0) break;
            continue;
        }
        uint8_t buffer[512];
        const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n == 0) ended_ = true;
        if (n <= 0) break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

bool RawStream::closedByPeer(std::chrono::milliseconds within) {
    const auto deadline = Steady::now() + within;
    while (!ended_) {
        pollfd p{fd_, POLLIN, 0};
        const int left = msLeft(deadline);
        if (::poll(&p, 1, left) <= 0) {
            if (left == 0) return false;
            continue;
        }
        uint8_t byte;
        const ssize_t n = ::read(fd_, &byte, 1);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) ended_ = true;
    }
    return true;
}
