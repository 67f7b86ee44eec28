#pragma once
// Simulated Q7 controllers: a Modbus RTU slave on a pseudo-terminal (or a
// Modbus TCP or RTU-over-TCP server on loopback), each id on the line with a
// first-order thermal process of its own behind it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// A TCP port on loopback in place of the pseudo-terminal.
struct Listen {
    std::string host = "127.0.0.1";
    uint16_t port = 0; // 0: the system picks a free one
    bool rtu = false;  // RTU frames over the raw socket rather than Modbus TCP
};

// One id whose heater has only this share of its power, so that it lags.
struct Slowed {
    uint8_t id = 1;
    double heating = 1.0; // above 0, up to 1
};

struct SimOptions {
    char variant = '@'; // model code in the high byte of 0x1F00: '@' or 'D'
    uint8_t slaveId = 1;
    // Every id answered on the line, each its own controller; empty: slaveId alone.
    std::vector<uint8_t> ids{};
    long baudRate = 19200;  // paces replies at 11 bits per byte
    double latency = 0.002; // seconds between the end of a request and the reply
    double timeScale = 1.0; // process and program clock speed-up
    std::optional<Listen> listen{};
    bool kiln = false; // each id a kiln's slow process rather than the quick bench one
    std::vector<Slowed> slowed{};
};

inline constexpr std::size_t kRequestLogLimit = 4096;

class SimController {
  public:
    explicit SimController(SimOptions options = {});
    ~SimController();
    SimController(const SimController&) = delete;
    SimController& operator=(const SimController&) = delete;

    // Opens the pseudo-terminal (or starts listening) and starts answering.
    // Returns false on failure, with errno saying why.
    bool start();
    void stop();
    // What the master opens: the pty's slave side, or tcp://HOST:PORT
    // (rtu+tcp://HOST:PORT for RTU over TCP) when listening.
    std::string devicePath() const;
    uint16_t port() const; // the port listened on, 0 on a pseudo-terminal
    const SimOptions& options() const;

    // Registers, as the controller holds them: the first id's, or the given id's.
    uint16_t reg(uint16_t address) const;
    void setReg(uint16_t address, uint16_t value);
    uint16_t reg(uint8_t id, uint16_t address) const;
    void setReg(uint8_t id, uint16_t address, uint16_t value);
    // A controller switched off: its id falls silent, the others keep answering.
    void setAnswering(uint8_t id, bool answering);

    // Requests seen (whole frames, with a good CRC on RTU, addressed to one of
    // our answering ids), for tests.
    int requestCount() const;
    std::string lastRequestHex() const; // as on the wire, e.g. "01 03 10 00 00 01 80 CA"
    // The requests seen, oldest first (the last kRequestLogLimit of them).
    std::vector<std::string> requestLog() const;
    void clearRequestLog();

    // Fault injection; each applies to the next reply (or replies) on the line,
    // whichever id gives it. Over Modbus TCP, bit flips, cuts and noise land on
    // the framed bytes (header included).
    void dropReplies(int count);          // say nothing
    void flipBit(int byteIndex, int bit); // corrupt one bit of the next reply
    void truncateNext(int length);        // send only the first length bytes
    void delayNext(double seconds);       // answer late
    void wrongSlaveNext(uint8_t address); // answer from another address, good CRC
    void exceptionNext(uint8_t code);     // exception reply instead of the real one
    void refuseNextWrite(uint8_t code);   // the same for the next write alone
    void noiseNext(int byteCount);        // noise before the next reply
    // The device vanishes (master side closed); over TCP every connection is
    // dropped while the port keeps listening, so the master can reconnect.
    void closeLine();
    // Noise on the line now, between requests, belonging to no reply.
    void sendNoise(int byteCount);
    // Called on the simulator's thread with each request's number (1-based,
    // counted from start) before it is answered; it may queue faults for that
    // very reply. Must not block.
    void setRequestHook(std::function<void(int)> hook);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace sim
