#pragma once
// A WebSocket client of the tests' own, on a plain socket, so a test can do
// what no browser does: send an unmasked frame, announce a frame of 64 MiB,
// ping without ever reading the answers, or just sit there.
#include <chrono>
#include <cstdint>
#include <string>

class RawWebSocket {
  public:
    // Connects to 127.0.0.1:port from the loopback address `from` (any of
    // 127.0.0.0/8, so one test can be several clients' addresses).
    // receiveBuffer: the socket's receive buffer in bytes, when not the
    // system's (small, so what the server sends piles up on its side).
    explicit RawWebSocket(std::uint16_t port, const std::string& from = "127.0.0.1",
                          int receiveBuffer = 0);
    ~RawWebSocket();
    RawWebSocket(const RawWebSocket&) = delete;
    RawWebSocket& operator=(const RawWebSocket&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    // GET /ws with the upgrade's own header lines and these (each ending in
    // CRLF); the status of the answer, 0 when none came. The head is kept.
    int handshake(const std::string& headers = "Host: 127.0.0.1\r\n");
    const std::string& answer() const { return answer_; }

    // Bytes as they are; false once the peer no longer takes them (closed,
    // reset) or nothing went for `within`.
    bool send(const std::string& bytes,
              std::chrono::milliseconds within = std::chrono::seconds(30));
    // A whole frame as a client sends it: FIN set, masked unless told.
    static std::string frame(int opcode, const std::string& payload, bool masked = true);

    struct Frame {
        int opcode = -1; // -1: the connection ended, or nothing came in time
        std::string payload;
    };
    // The next whole frame from the server.
    Frame receive(std::chrono::milliseconds within = std::chrono::seconds(30));
    // Reads and drops what comes until the server has closed the connection.
    bool closedByPeer(std::chrono::milliseconds within = std::chrono::seconds(30));
    // Gone as a peer that crashed goes: the connection reset, no close.
    void reset();

  private:
    bool fill(std::size_t count, std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    bool ended_ = false;
    std::string answer_;
    std::string pending_; // received, not yet taken as a frame
};
