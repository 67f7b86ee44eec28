#pragma once
// Where a master reaches the simulator: a pseudo-terminal, or a TCP port on
// loopback with a connection per master. Plain descriptors, no framing.
#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <sys/types.h>

namespace sim {

struct Pty {
    int master = -1; // the simulator's side, raw and non-blocking
    int slave = -1;  // held open so the master never sees a hang-up between opens
    std::string path;
};
bool openPty(Pty& pty);

// "127.0.0.1", any other 127.x.y.z, or "localhost". The simulator takes
// writes from whoever connects, so it serves this machine only.
bool loopbackAddress(const std::string& host, in_addr& address);

// A non-blocking listening socket; port 0 lets the system pick one. Returns
// -1 with errno set on failure; boundPort is the port really listened on.
int listenOn(const std::string& host, uint16_t port, uint16_t& boundPort);
// The next waiting connection, non-blocking and with Nagle off so paced
// bytes leave as they are written; -1 when none waits.
int acceptClient(int listenFd);

// A write that never raises SIGPIPE when the peer of a socket has gone.
ssize_t writeTo(int fd, bool socket, const uint8_t* data, std::size_t length);

} // namespace sim
