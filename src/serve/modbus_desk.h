#pragma once
// Where the Modbus TCP server hands other masters' requests to the line it
// serves: the server's thread asks, the line's thread takes each between
// two of its own requests and answers. Asking never waits for the line.
// The line may be restarted by a reload: whichever of its bridges runs
// takes the requests, and while none runs, a request is answered at once
// that the way to the line is not there (exception 0A).
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Modbus exception codes the server answers with.
namespace modbus_exception {
inline constexpr uint8_t illegalFunction = 0x01;
inline constexpr uint8_t illegalAddress = 0x02;
inline constexpr uint8_t illegalValue = 0x03;
inline constexpr uint8_t deviceFailure = 0x04;
inline constexpr uint8_t pathUnavailable = 0x0A;
inline constexpr uint8_t targetSilent = 0x0B;
} // namespace modbus_exception

// One request of a client, its PDU checked to be a read (03, 04) or a
// write (06) of the right length.
struct ModbusAsk {
    uint8_t unit = 0;
    uint8_t function = 0;
    uint16_t address = 0;
    uint16_t countOrValue = 0;
    // Called once, on whichever thread answers, with the reply's PDU.
    std::function<void(std::vector<uint8_t> pdu)> answer;
    // Set once the client is gone: the line need not make the request.
    std::shared_ptr<std::atomic<bool>> gone;
};

// The exception reply to a request of function.
std::vector<uint8_t> exceptionPdu(uint8_t function, uint8_t code);

class ModbusDesk {
  public:
    static constexpr std::size_t kMaxWaiting = 64;

    // Any thread.
    void ask(ModbusAsk a);
    // The line's thread, as it starts: wake is how a request wakes it.
    void attach(std::function<void()> wake);
    // As it ends: what still waits is answered, the way to the line gone.
    void detach();
    // The line's thread: the oldest request waiting.
    std::optional<ModbusAsk> take();

  private:
    std::mutex mutex_;
    std::deque<ModbusAsk> waiting_;
    std::function<void()> wake_;
};
