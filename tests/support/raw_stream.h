#pragma once
// The master's end of a line or a TCP connection, opened with plain POSIX
// calls so tests of what a slave or gateway sends do not lean on the
// program's own serial code.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A port nobody listens on right now, for a server the test is about to start.
uint16_t freeLoopbackPort();
// Whether process `pid` itself listens on 127.0.0.1:port (or on any
// address at that port). A free port can be taken by another test's server
// between freeLoopbackPort() and our server's bind; then connecting proves
// nothing about ours.
bool listeningIn(int pid, uint16_t port);

class RawStream {
  public:
    explicit RawStream(const std::string& device); // a tty, set raw
    explicit RawStream(uint16_t loopbackPort);     // a connection to 127.0.0.1
    ~RawStream();
    RawStream(const RawStream&) = delete;
    RawStream& operator=(const RawStream&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool send(const Bytes& bytes);
    // Reads until count bytes arrived, the peer closed, or the time passed;
    // returns what came.
    Bytes receive(std::size_t count, std::chrono::milliseconds within = std::chrono::seconds(2));
    Bytes transact(const Bytes& request, std::size_t replyLength,
                   std::chrono::milliseconds within = std::chrono::seconds(2)) {
        send(request);
        return receive(replyLength, within);
    }
    // True once the peer has closed the connection, within the time.
    bool closedByPeer(std::chrono::milliseconds within = std::chrono::seconds(2));

  private:
    int fd_ = -1;
    bool socket_ = false;
    bool ended_ = false;
};
