#pragma once
// The serial port service: a line's port object (ComPort) and the
// procedural calls the controller logic is written against, each given the
// port object it acts on. A port is opened on its 1-based COM number;
// com_map.h decides which device node, or which network endpoint, a number
// means. Whoever holds a ComPort owns that opening of it: the line that
// opened it, and nobody else, closes it.
#include "serial/comes_back.h"
#include "serial/net_endpoint.h"
#include "serial/serial_port.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// Negative results of OpenComConfig.
enum ComError { kComBadPort = -2, kComCannotOpen = -6, kComNotOpen = -3 };

struct SharedDevice;

class ComPort {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    ComPort() = default;
    ~ComPort();
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;

    // Opens the number's device (or deviceName, when given). A device
    // another open port holds is shared rather than opened twice; a port
    // already open on that device is reconfigured, unless its device went
    // away, which is then opened afresh. 0, or a ComError.
    int open(int number, const std::string& deviceName, long baudRate, int parity, int dataBits,
             int stopBits);
    // Lets go of the device; it closes once no port holds it, or at once
    // when it went away. kComNotOpen when it was not open.
    int close();
    // Opens the device afresh, for every port that shares it: a new
    // connection to a gateway whose stream lost its framing. 0, or
    // kComNotOpen when not open, or kComCannotOpen when the device does not
    // open again (the port is then closed, as a device that went away is).
    int reopen();

    int write(const void* buffer, int count);
    // Reads until count bytes arrived, the deadline passed or the device
    // failed; returns the count read (0 at once when not open).
    int readUntil(void* buffer, int count, TimePoint deadline);
    int flushInput();
    int flushOutput();
    // Status bits (GetComStat) for line errors counted since the last call.
    int takeLineErrors();
    int setTimeout(double seconds);

    // The number it was opened on last, and the device that number meant.
    int number() const;
    std::string device() const;
    // Once the device last opened went away: whether it may be opened again
    // under its name (comes_back.h), and the words for why not.
    bool mayOpenAgain() const;
    std::string notOpenedAgainWhy() const;
    bool isOpen() const;
    // The device hung up or failed since it was opened.
    bool lost() const;
    // How requests are framed on it: Modbus TCP for a tcp:// endpoint, RTU
    // frames for a device or an rtu+tcp:// endpoint (RTU while closed).
    LineFraming framing() const;
    // A number for the device or connection it has open, new with each open
    // (the same for ports that share the device); 0 when closed.
    uint64_t connection() const;
    // The next number of the sequence requests on the device are numbered by
    // (Modbus TCP's transaction ids): 1 for the first request after the
    // device was opened, shared by the ports that share it and kept over a
    // new connection to it. 0 when closed.
    uint16_t nextTransaction();
    // The time-out set by setTimeout (1.0 s until then).
    std::chrono::steady_clock::duration timeout() const;
    // Why the last open of it failed, in words ("COM3: /dev/ttyUSB0: No such
    // file or directory"); empty after it succeeded.
    std::string openError() const;
    // The same failure as the system put it, and its errno (0 when the
    // system gave none).
    std::string openReason() const;
    int openErrno() const;

  private:
    std::shared_ptr<SharedDevice> held() const;
    // The device while it is open; null otherwise.
    std::shared_ptr<SharedDevice> openHeld() const;
    int failed(int number, const std::string& device, const std::string& why, int error, int rc);

    mutable std::mutex mutex_;
    // Held while open. Whoever took it from here keeps the device alive: a
    // port closed meanwhile leaves it a closed device, never a dangling one.
    std::shared_ptr<SharedDevice> shared_;
    int number_ = 0;
    std::string deviceName_;
    DeviceName openedAs_; // where deviceName_ led as it opened
    std::string openError_, openReason_;
    int openErrno_ = 0;
    std::atomic<std::chrono::steady_clock::duration> timeout_{std::chrono::seconds(1)};
};

// The procedural calls, as the logic names them; each acts on the port given.
inline int OpenComConfig(ComPort& port, int number, const char* deviceName, long baudRate,
                         int parity, int dataBits, int stopBits, int /*inputQueueSize*/,
                         int /*outputQueueSize*/) {
    return port.open(number, deviceName ? deviceName : "", baudRate, parity, dataBits, stopBits);
}
inline std::string comOpenError(const ComPort& port) {
    return port.openError();
}
// Flow control is never used on this line; the port is opened with both off.
inline int SetXMode(ComPort& port, int) {
    return port.isOpen() ? 0 : kComNotOpen;
}
inline int SetCTSMode(ComPort& port, int) {
    return port.isOpen() ? 0 : kComNotOpen;
}
inline int SetComTime(ComPort& port, double seconds) {
    return port.setTimeout(seconds);
}
inline int FlushInQ(ComPort& port) {
    return port.flushInput();
}
inline int FlushOutQ(ComPort& port) {
    return port.flushOutput();
}
inline int ComWrt(ComPort& port, const void* buffer, int count) {
    return port.write(buffer, count);
}
// As ComRd, but gives up at an absolute deadline instead of the port's time-out.
inline int ComRdUntil(ComPort& port, void* buffer, int count, ComPort::TimePoint deadline) {
    return port.readUntil(buffer, count, deadline);
}
// Waits until count bytes arrived or the port's time-out passed; returns the count read.
int ComRd(ComPort& port, void* buffer, int count);
inline int GetComStat(ComPort& port) {
    return port.takeLineErrors();
}
inline int ComReopen(ComPort& port) {
    return port.reopen();
}
inline int CloseCom(ComPort& port) {
    return port.close();
}
inline bool comIsOpen(const ComPort& port) {
    return port.isOpen();
}
inline bool comLost(const ComPort& port) {
    return port.lost();
}
// Pauses on the line clock (base/clock.h).
void Delay(double seconds);

// Makes the port object behind a device the first time it is opened; tests
// put a simulated line in its place. An empty maker means termios.
using SerialPortMaker = std::function<std::unique_ptr<SerialPort>(const std::string& device)>;
void setSerialPortMaker(SerialPortMaker maker);

// Where a port that will not open is told of: by default two lines on
// stderr (the system's reason, and the fix for a missing permission). A
// caller with its own way of telling the operator installs another; error
// is the system's errno.
using OpenFailureReport =
    std::function<void(int port, const std::string& device, const std::string& why, int error)>;
void setOpenFailureReport(OpenFailureReport report); // empty: the default
