#include "serial/serial_service.h"

#include "base/clock.h"
#include "serial/com_map.h"
#include "serial/port_discovery.h"
#include "serial/serial_port.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// What the ports opened on one device share: the device, opened once
// (exclusively), so that a second port reaches it instead of failing
// "busy"; the connection it has now; and the sequence that numbers its
// requests, so that two lines on one gateway connection never send the
// same transaction id close together, while another gateway's count is
// its own. The device closes as the last port lets go of it.
struct SharedDevice {
    SharedDevice(std::unique_ptr<SerialPort> p, std::string d, DeviceName n)
        : port(std::move(p)), device(std::move(d)), name(std::move(n)) {}
    ~SharedDevice() { port->close(); }
    SharedDevice(const SharedDevice&) = delete;
    SharedDevice& operator=(const SharedDevice&) = delete;
    const std::unique_ptr<SerialPort> port;
    const std::string device;
    const DeviceName name; // where `device` led as it opened
    std::atomic<uint64_t> connection{0};
    std::atomic<uint16_t> requestNumber{0};
};

namespace {

std::mutex devicesMutex;
// The devices open now, held weakly: the process's one view of which of
// the PC's serial devices and gateway connections it has open, so that two
// COM numbers on one device share it.
std::vector<std::weak_ptr<SharedDevice>> openDevices;
SerialPortMaker gMaker;
OpenFailureReport gOpenReport;
std::atomic<uint64_t> lastConnection{0};

void reportOpenFailure(int number, const std::string& device, const std::string& why, int error) {
    OpenFailureReport report;
    {
        std::lock_guard lock(devicesMutex);
        report = gOpenReport;
    }
    if (report) return report(number, device, why, error);
    std::fprintf(stderr, "q7: COM%d: %s\n", number, why.c_str());
    if (error == EACCES)
        std::fprintf(stderr, "q7: add yourself to the 'dialout' group "
                             "(sudo adduser $USER dialout) and log in again\n");
}

// The device of that name another port has open, to share.
std::shared_ptr<SharedDevice> openElsewhere(const std::string& device) {
    const DeviceName now = deviceNameNow(device);
    std::lock_guard lock(devicesMutex);
    std::shared_ptr<SharedDevice> found;
    std::erase_if(openDevices, [&](const std::weak_ptr<SharedDevice>& held) {
        std::shared_ptr<SharedDevice> d = held.lock();
        if (!d) return true;
        if (!found && d->port->isOpen() && !d->port->lost() &&
            (d->device == device || sameDevice(d->device, device)) &&
            stillLeadsTo(d->name, now, d->device == device))
            found = std::move(d);
        return false;
    });
    return found;
}

// A device opened for a port, and now on offer to the others.
std::shared_ptr<SharedDevice> opened(std::unique_ptr<SerialPort> serial, const std::string& device,
                                     DeviceName name) {
    auto shared = std::make_shared<SharedDevice>(std::move(serial), device, std::move(name));
    shared->connection = ++lastConnection;
    std::lock_guard lock(devicesMutex);
    openDevices.push_back(shared);
    return shared;
}

std::string openFailureText(int number, const std::string& why, int error) {
    std::string text = "COM" + std::to_string(number) + ": " + why;
    if (error == EACCES)
        text += "\nAdd yourself to the 'dialout' group (sudo adduser $USER dialout) and log in "
                "again.";
    return text;
}

} // namespace

ComPort::~ComPort() {
    close();
}

std::shared_ptr<SharedDevice> ComPort::held() const {
    std::lock_guard lock(mutex_);
    return shared_;
}

std::shared_ptr<SharedDevice> ComPort::openHeld() const {
    std::shared_ptr<SharedDevice> d = held();
    return d && d->port->isOpen() ? d : nullptr;
}

int ComPort::failed(int number, const std::string& device, const std::string& why, int error,
                    int rc) {
    {
        std::lock_guard lock(mutex_);
        openError_ = openFailureText(number, why, error);
        openReason_ = why;
        openErrno_ = error;
    }
    reportOpenFailure(number, device, why, error);
    return rc;
}

int ComPort::open(int number, const std::string& deviceName, long baudRate, int parity,
                  int dataBits, int stopBits) {
    {
        std::lock_guard lock(mutex_);
        openError_.clear();
        openReason_.clear();
        openErrno_ = 0;
    }
    if (number < 1 || number > kMaxComNumber) {
        close();
        return failed(number, "", "no such COM number (1 to " + std::to_string(kMaxComNumber) + ")",
                      0, kComBadPort);
    }
    const std::string device = deviceName.empty() ? comDevice(number) : deviceName;
    // A device that went away, or that the number no longer maps to, is let
    // go: reconfiguring it could only fail, and it would hold a deleted
    // device open.
    std::shared_ptr<SharedDevice> shared = held();
    if (shared && (!shared->port->isOpen() || shared->port->lost() || this->device() != device)) {
        close();
        shared = nullptr;
    }
    if (!shared) {
        shared = openElsewhere(device);
        if (!shared) {
            SerialPortMaker maker;
            {
                std::lock_guard lock(devicesMutex);
                maker = gMaker;
            }
            std::unique_ptr<SerialPort> serial = maker ? maker(device) : makePortFor(device);
            DeviceName name = deviceNameNow(device);
            std::string why;
            if (const int err = serial->open(device, &why); err < 0)
                return failed(number, device, why, -err, kComCannotOpen);
            shared = opened(std::move(serial), device, std::move(name));
        }
    }
    {
        std::lock_guard lock(mutex_);
        shared_ = shared;
        number_ = number;
        deviceName_ = device;
        openedAs_ = shared->name;
    }
    if (const int rc = shared->port->configure(baudRate, parity, dataBits, stopBits); rc < 0) {
        close();
        return failed(number, device,
                      device + ": cannot set " + std::to_string(baudRate) + " baud, " +
                          std::to_string(dataBits) + " data bits, " + std::to_string(stopBits) +
                          " stop bits: " + std::strerror(-rc),
                      -rc, kComCannotOpen);
    }
    return 0;
}

// A device that went away is closed at once, for every port on it: none of
// them can use it again, and it must not be held open while deleted.
int ComPort::close() {
    std::shared_ptr<SharedDevice> let;
    {
        std::lock_guard lock(mutex_);
        let.swap(shared_);
    }
    if (!let) return kComNotOpen;
    if (let->port->lost()) let->port->close();
    return 0;
}

int ComPort::reopen() {
    const std::shared_ptr<SharedDevice> shared = held();
    if (!shared) return kComNotOpen;
    shared->port->close();
    std::string why;
    if (shared->port->open(shared->device, &why) < 0) {
        close();
        return failed(number(), shared->device, why, 0, kComCannotOpen);
    }
    shared->connection = ++lastConnection;
    return 0;
}

int ComPort::write(const void* buffer, int count) {
    const std::shared_ptr<SharedDevice> d = openHeld();
    return d ? d->port->write(static_cast<const uint8_t*>(buffer), count) : kComNotOpen;
}

int ComPort::readUntil(void* buffer, int count, TimePoint deadline) {
    const std::shared_ptr<SharedDevice> d = openHeld();
    // Nothing will ever arrive on a closed port: answer at once rather than
    // idle until the deadline.
    return d ? d->port->readUntil(static_cast<uint8_t*>(buffer), count, deadline) : 0;
}

int ComPort::flushInput() {
    const std::shared_ptr<SharedDevice> d = openHeld();
    if (!d) return kComNotOpen;
    d->port->flushInput();
    return 0;
}

int ComPort::flushOutput() {
    const std::shared_ptr<SharedDevice> d = openHeld();
    if (!d) return kComNotOpen;
    d->port->flushOutput();
    return 0;
}

int ComPort::takeLineErrors() {
    const std::shared_ptr<SharedDevice> d = openHeld();
    return d ? d->port->takeLineErrors() : 0;
}

int ComPort::setTimeout(double seconds) {
    if (!isOpen()) return kComNotOpen;
    timeout_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
    return 0;
}

int ComPort::number() const {
    std::lock_guard lock(mutex_);
    return number_;
}

std::string ComPort::device() const {
    std::lock_guard lock(mutex_);
    return deviceName_;
}

bool ComPort::mayOpenAgain() const {
    std::lock_guard lock(mutex_);
    return mayBeTheSameLine(openedAs_, deviceNameNow(deviceName_));
}

std::string ComPort::notOpenedAgainWhy() const {
    std::lock_guard lock(mutex_);
    return notOpenedAgainText(deviceName_, openedAs_);
}

bool ComPort::isOpen() const {
    return openHeld() != nullptr;
}

bool ComPort::lost() const {
    const std::shared_ptr<SharedDevice> d = openHeld();
    return d && d->port->lost();
}

LineFraming ComPort::framing() const {
    return isOpen() ? framingOf(device()) : LineFraming::rtu;
}

uint64_t ComPort::connection() const {
    const std::shared_ptr<SharedDevice> d = openHeld();
    return d ? d->connection.load() : 0;
}

uint16_t ComPort::nextTransaction() {
    const std::shared_ptr<SharedDevice> d = openHeld();
    return d ? uint16_t(++d->requestNumber) : 0;
}

std::chrono::steady_clock::duration ComPort::timeout() const {
    return timeout_.load();
}

std::string ComPort::openError() const {
    std::lock_guard lock(mutex_);
    return openError_;
}

std::string ComPort::openReason() const {
    std::lock_guard lock(mutex_);
    return openReason_;
}

int ComPort::openErrno() const {
    std::lock_guard lock(mutex_);
    return openErrno_;
}

int ComRd(ComPort& port, void* buffer, int count) {
    return port.readUntil(buffer, count, lineClock().now() + port.timeout());
}

void Delay(double seconds) {
    if (seconds <= 0) return;
    lineClock().sleepUntil(secondsFromNow(seconds));
}

void setOpenFailureReport(OpenFailureReport report) {
    std::lock_guard lock(devicesMutex);
    gOpenReport = std::move(report);
}

void setSerialPortMaker(SerialPortMaker maker) {
    std::lock_guard lock(devicesMutex);
    gMaker = std::move(maker);
}
