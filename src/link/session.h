#pragma once
// The controller session: the one owner of the line. It holds what the line
// is (port, baud rate, controller id) and how it stands (open, probed, busy,
// the last CRC and write echo); everybody else asks it. Requests go through
// it only: see transfer.h for reads and writes. It knows no panel; what
// happens to the line goes up as line events (line_events.h) and every frame
// to the frame observers (frame_observers.h).
#include "base/clock.h"
#include "link/probe_result.h"

#include <array>
#include <cstdint>
#include <optional>

class ControllerSession {
  public:
    uint16_t controllerId() const;
    uint16_t comPort() const;
    int32_t baudRate() const;
    // 0 no parity, 1 odd, 2 even; 1 or 2 stop bits (no parity and 2 unless
    // the saved settings say otherwise).
    int32_t parity() const;
    int32_t stopBits() const;
    // The port opened and the probe did not fail since.
    bool linkUp() const;
    // What opening the port gave (negative: it did not open); -1 after a
    // failed probe or a lost line.
    int32_t portStatus() const;
    // The connected port's device went away (unplugged, failed) and no port
    // has been opened since.
    bool lineLost() const;
    // Several requests in a row got no byte back (the `silent` line event),
    // until the next reply. Any thread.
    bool silent() const;
    // When the controller last answered with a whole reply of its own (the
    // values, the echo, or a refusal). Any thread.
    std::optional<Clock::TimePoint> lastReply() const;
    // 0 until a good probe; then 1 for model '@', 2 for model 'D'.
    uint16_t controllerVariant() const;
    // A guarded transaction owns the line.
    bool busy() const;
    // What the last single-register write got back (zeros where nothing came).
    std::array<uint8_t, 8> writeEcho() const;

    // The connection's settings. Every later request goes to the new id at once.
    void setControllerId(uint16_t id);
    void setComPort(uint16_t port);
    void setBaudRate(int32_t baud);
    void setCharacterFrame(int32_t parity, int32_t stopBits);

    // Opens comPort at baudRate (8 data bits, the parity and stop bits set,
    // no flow control, 1.0 s time-out) and pauses 0.05 s. Returns portStatus. A port
    // that does not open takes the link down (a `disconnected` line event
    // when it was up).
    int32_t openPort();
    // Prepares (0.03 s) and asks the controller for its identification, once.
    // A controller of a known model sets the variant and the `connected` line
    // event goes out; anything else takes the link down (the port stays open).
    ProbeResult probe();
    // Closes the port if the link is up, and takes the link down.
    void closePort();

    // Start-up values again: the program's start, and every test.
    void reset();
};

ControllerSession& session();

// Discards both queues, then pauses the settle time.
void preparation(double settleSeconds);
// A pause on the line with nothing sent or discarded.
void linePause(double seconds);

// Holds the busy guard for its lifetime; waits in 0.01 s steps while another
// holds it. Test and set are one atomic step.
class BusyGuard {
  public:
    BusyGuard();
    ~BusyGuard();
    // Lets go before the end of the scope: once the last reply is read.
    void release();
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

  private:
    bool held_ = true;
};
