#pragma once
// The simulator's side of the line: the pseudo-terminal or the TCP clients,
// finding requests in their bytes, and answering them at the line's pace from
// the controller behind each id. One worker thread does all the I/O.
#include "sim/fault_injection.h"
#include "sim/mbap.h"
#include "sim/modbus_slave.h"
#include "sim/sim_controller.h"
#include "sim/sim_unit.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <poll.h>
#include <random>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class LineServer {
  public:
    using Clock = std::chrono::steady_clock;

    explicit LineServer(SimOptions options);
    ~LineServer();
    LineServer(const LineServer&) = delete;
    LineServer& operator=(const LineServer&) = delete;

    bool start(); // false with errno set when the line cannot be opened
    void stop();
    // Returns once the worker has really closed the line.
    void closeLine();
    void sendNoise(int byteCount);
    const std::string& path() const { return path_; }
    uint16_t port() const { return port_; }

    // The controllers and what tests read and queue, guarded by mutex.
    SimUnit* unit(uint8_t id); // nullptr for an id not on this line
    SimOptions options;
    mutable std::mutex mutex;
    std::vector<SimUnit> units;
    FaultQueue faults;
    int requests = 0;
    std::function<void(int)> requestHook;
    std::string lastRequest;
    std::vector<std::string> requestLog; // bounded, oldest dropped first

  private:
    // One byte stream a master talks on: the pty, or one TCP connection.
    struct Stream {
        int fd = -1;
        bool socket = false;
        FrameAssembler rtu;
        MbapAssembler mbap;
        Clock::time_point frameStart{};
        Clock::time_point lastByte{};
    };
    enum class Wake { Deadline, Readable, Stop };

    bool open();
    void run();
    Wake waitUntil(Clock::time_point deadline, std::span<pollfd> line = {});
    bool serviceLine(std::span<const pollfd> line); // true: the pty errors, sit it out
    void acceptWaiting();
    bool readStream(Stream& stream); // false when the stream errored or ended
    void handle(Stream& stream, const Request& request, const MbapRequest* framed);
    void sendAt(Stream& stream, const Frame& bytes, Clock::time_point start, bool paced);
    void advanceModel(); // caller holds mutex
    void closeStreams();
    void closeStream(Stream& stream);
    void closeAll();
    void wake();

    bool mbap_ = false; // Modbus TCP framing on the clients' streams
    Clock::duration byteTime_{};
    Clock::duration silence_{}; // 3.5 character times: a gap that ends an RTU frame
    std::string path_;
    uint16_t port_ = 0;
    int ptySlave_ = -1; // held open so the master never sees a hang-up between opens
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    // The streams' descriptors: the worker changes them, sendNoise writes to them.
    std::mutex ioMutex_;
    std::vector<std::unique_ptr<Stream>> streams_;
    std::thread worker_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> closeRequested_{false};
    std::condition_variable lineClosed_;
    int closures_ = 0; // guarded by mutex
    std::minstd_rand noiseRandom_{0x7E57};
    Clock::time_point lastAdvance_; // guarded by mutex
};

} // namespace sim
