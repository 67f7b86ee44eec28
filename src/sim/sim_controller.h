#pragma once
// A simulated Q7 controller: a Modbus RTU slave on a pseudo-terminal with a
// first-order thermal process behind it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

struct SimOptions {
    char variant = '@';      // model code in the high byte of 0x1F00: '@' or 'D'
    uint8_t slaveId = 1;
    long baudRate = 19200;   // paces replies at 11 bits per byte
    double latency = 0.002;  // seconds between the end of a request and the reply
    double timeScale = 1.0;  // process and program clock speed-up
};

inline constexpr std::size_t kRequestLogLimit = 4096;

class SimController {
  public:
    explicit SimController(SimOptions options = {});
    ~SimController();
    SimController(const SimController&) = delete;
    SimController& operator=(const SimController&) = delete;

    // Opens the pseudo-terminal and starts answering. Returns false on failure.
    bool start();
    void stop();
    // The device the master opens (the pty's slave side).
    std::string devicePath() const;
    const SimOptions& options() const;

    // Registers, as the controller holds them.
    uint16_t reg(uint16_t address) const;
    void setReg(uint16_t address, uint16_t value);

    // Requests seen (complete frames with a good CRC addressed to us), for tests.
    int requestCount() const;
    std::string lastRequestHex() const; // e.g. "01 03 10 00 00 01 80 CA"
    // The requests seen, oldest first (the last kRequestLogLimit of them).
    std::vector<std::string> requestLog() const;
    void clearRequestLog();

    // Fault injection; each applies to the next reply (or replies).
    void dropReplies(int count);          // say nothing
    void flipBit(int byteIndex, int bit); // corrupt one bit of the next reply
    void truncateNext(int length);        // send only the first length bytes
    void delayNext(double seconds);       // answer late
    void wrongSlaveNext(uint8_t address); // answer from another address, good CRC
    void exceptionNext(uint8_t code);     // exception reply instead of the real one
    void noiseNext(int byteCount);        // noise before the next reply
    void closeLine();                     // the device vanishes (master side closed)
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
