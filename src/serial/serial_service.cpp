#include "serial/serial_service.h"

#include "base/clock.h"
#include "serial/com_map.h"
#include "serial/port_discovery.h"
#include "serial/serial_port.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

// What the numbers mapped to one device share: the device, opened once
// (exclusively), so that the second number reaches it instead of failing
// "busy"; the connection it has now; and the sequence that numbers its
// requests, so that two lines on one gateway connection never send the
// same transaction id close together, while another gateway's count is
// its own.
struct SharedDevice {
    explicit SharedDevice(std::shared_ptr<SerialPort> p) : port(std::move(p)) {}
    const std::shared_ptr<SerialPort> port;
    std::atomic<uint64_t> connection{0};
    std::atomic<uint16_t> requestNumber{0};
};

// A COM number's open port. Whoever found it holds it: a number closed
// meanwhile leaves the holder a closed port, never a dangling one.
struct OpenPort {
    OpenPort(std::shared_ptr<SharedDevice> s, std::string d)
        : shared(std::move(s)), device(std::move(d)) {}
    const std::shared_ptr<SharedDevice> shared;
    const std::string device;
    std::atomic<std::chrono::steady_clock::duration> timeout{std::chrono::seconds(1)};
};

std::mutex portsMutex;
std::map<int, std::shared_ptr<OpenPort>> ports;
std::map<int, std::string> openErrors;
SerialPortMaker gMaker;
OpenFailureReport gOpenReport;
uint64_t lastConnection = 0;

void reportOpenFailure(int port, const std::string& device, const std::string& why, int error) {
    OpenFailureReport report;
    {
        std::lock_guard lock(portsMutex);
        report = gOpenReport;
    }
    if (report) return report(port, device, why, error);
    std::fprintf(stderr, "q7: COM%d: %s\n", port, why.c_str());
    if (error == EACCES)
        std::fprintf(stderr, "q7: add yourself to the 'dialout' group "
                             "(sudo adduser $USER dialout) and log in again\n");
}

std::shared_ptr<OpenPort> find(int port) {
    std::lock_guard lock(portsMutex);
    auto it = ports.find(port);
    if (it == ports.end() || !it->second->shared->port->isOpen()) return nullptr;
    return it->second;
}

// Another number's open port on the same device, to share.
std::shared_ptr<SharedDevice> openElsewhere(int port, const std::string& device) {
    std::lock_guard lock(portsMutex);
    for (const auto& [n, open] : ports)
        if (n != port && open->shared->port->isOpen() && !open->shared->port->lost() &&
            (open->device == device || sameDevice(open->device, device)))
            return open->shared;
    return nullptr;
}

// Keeps the reason in words for the operator's message (comOpenError) and
// tells it where open failures are told. error is the system's errno, or 0.
int openFailed(int port, const std::string& device, const std::string& why, int error, int rc) {
    std::string text = "COM" + std::to_string(port) + ": " + why;
    if (error == EACCES)
        text += "\nAdd yourself to the 'dialout' group (sudo adduser $USER dialout) and log in "
                "again.";
    {
        std::lock_guard lock(portsMutex);
        openErrors[port] = std::move(text);
    }
    reportOpenFailure(port, device, why, error);
    return rc;
}

} // namespace

int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int, int) {
    {
        std::lock_guard lock(portsMutex);
        openErrors.erase(port);
    }
    if (port < 1 || port > kMaxComNumber)
        return openFailed(port, "",
                          "no such COM number (1 to " + std::to_string(kMaxComNumber) + ")", 0,
                          kComBadPort);
    const std::string device = deviceName && *deviceName ? deviceName : comDevice(port);
    // A port whose device went away, or that the number no longer maps to,
    // is let go: reconfiguring it could only fail, and it would hold a
    // deleted device open.
    if (const std::shared_ptr<OpenPort> existing = find(port);
        existing && (existing->shared->port->lost() || existing->device != device))
        CloseCom(port);
    std::shared_ptr<OpenPort> existing = find(port);
    if (!existing) {
        std::shared_ptr<SharedDevice> shared = openElsewhere(port, device);
        if (!shared) {
            SerialPortMaker maker;
            {
                std::lock_guard lock(portsMutex);
                maker = gMaker;
            }
            std::shared_ptr<SerialPort> serial = maker ? maker(device) : makePortFor(device);
            std::string why;
            if (const int err = serial->open(device, &why); err < 0)
                return openFailed(port, device, why, -err, kComCannotOpen);
            shared = std::make_shared<SharedDevice>(std::move(serial));
        }
        std::lock_guard lock(portsMutex);
        if (!shared->connection) shared->connection = ++lastConnection;
        existing = std::make_shared<OpenPort>(std::move(shared), device);
        ports[port] = existing;
    }
    const int rc = existing->shared->port->configure(baudRate, parity, dataBits, stopBits);
    if (rc < 0) {
        CloseCom(port);
        return openFailed(port, device,
                          device + ": cannot set " + std::to_string(baudRate) + " baud, " +
                              std::to_string(dataBits) + " data bits, " + std::to_string(stopBits) +
                              " stop bits: " + std::strerror(-rc),
                          -rc, kComCannotOpen);
    }
    return 0;
}

std::string comOpenError(int port) {
    std::lock_guard lock(portsMutex);
    auto it = openErrors.find(port);
    return it == openErrors.end() ? std::string() : it->second;
}

// Flow control is never used on this line; the port is opened with both off.
int SetXMode(int port, int) {
    return find(port) ? 0 : kComNotOpen;
}
int SetCTSMode(int port, int) {
    return find(port) ? 0 : kComNotOpen;
}

int SetComTime(int port, double seconds) {
    const std::shared_ptr<OpenPort> p = find(port);
    if (!p) return kComNotOpen;
    p->timeout = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
    return 0;
}

std::chrono::steady_clock::duration comTimeout(int port) {
    const std::shared_ptr<OpenPort> p = find(port);
    return p ? p->timeout.load() : std::chrono::steady_clock::duration(std::chrono::seconds(1));
}

int FlushInQ(int port) {
    const std::shared_ptr<OpenPort> p = find(port);
    if (!p) return kComNotOpen;
    p->shared->port->flushInput();
    return 0;
}

int FlushOutQ(int port) {
    const std::shared_ptr<OpenPort> p = find(port);
    if (!p) return kComNotOpen;
    p->shared->port->flushOutput();
    return 0;
}

int ComWrt(int port, const void* buffer, int count) {
    const std::shared_ptr<OpenPort> p = find(port);
    if (!p) return kComNotOpen;
    return p->shared->port->write(static_cast<const uint8_t*>(buffer), count);
}

int ComRdUntil(int port, void* buffer, int count, std::chrono::steady_clock::time_point deadline) {
    const std::shared_ptr<OpenPort> p = find(port);
    if (!p) return 0; // nothing will ever arrive: answer at once rather than idle a second
    return p->shared->port->readUntil(static_cast<uint8_t*>(buffer), count, deadline);
}

int ComRd(int port, void* buffer, int count) {
    return ComRdUntil(port, buffer, count, lineClock().now() + comTimeout(port));
}

int GetComStat(int port) {
    const std::shared_ptr<OpenPort> p = find(port);
    return p ? p->shared->port->takeLineErrors() : 0;
}

int CloseCom(int port) {
    std::lock_guard lock(portsMutex);
    auto it = ports.find(port);
    if (it == ports.end()) return kComNotOpen;
    const std::shared_ptr<SharedDevice> device = it->second->shared;
    ports.erase(it);
    // The device stays open while another number shares it, unless it is
    // gone: then every number lets go of it at once.
    const bool shared = std::any_of(ports.begin(), ports.end(),
                                    [&](const auto& e) { return e.second->shared == device; });
    if (!shared || device->port->lost()) device->port->close();
    return 0;
}

int ComReopen(int port) {
    std::shared_ptr<SharedDevice> shared;
    std::string device;
    {
        std::lock_guard lock(portsMutex);
        auto it = ports.find(port);
        if (it == ports.end()) return kComNotOpen;
        shared = it->second->shared;
        device = it->second->device;
    }
    shared->port->close();
    std::string why;
    if (shared->port->open(device, &why) < 0) {
        CloseCom(port);
        return openFailed(port, device, why, 0, kComCannotOpen);
    }
    std::lock_guard lock(portsMutex);
    shared->connection = ++lastConnection;
    return 0;
}

bool comIsOpen(int port) {
    return find(port) != nullptr;
}

bool comLost(int port) {
    const std::shared_ptr<OpenPort> p = find(port);
    return p && p->shared->port->lost();
}

LineFraming comFraming(int port) {
    const std::shared_ptr<OpenPort> p = find(port);
    return p ? framingOf(p->device) : LineFraming::rtu;
}

uint64_t comConnection(int port) {
    const std::shared_ptr<OpenPort> p = find(port);
    return p ? p->shared->connection.load() : 0;
}

uint16_t comNextTransaction(int port) {
    const std::shared_ptr<OpenPort> p = find(port);
    return p ? uint16_t(++p->shared->requestNumber) : 0;
}

void Delay(double seconds) {
    if (seconds <= 0) return;
    lineClock().sleepUntil(secondsFromNow(seconds));
}

void setOpenFailureReport(OpenFailureReport report) {
    std::lock_guard lock(portsMutex);
    gOpenReport = std::move(report);
}

void setSerialPortMaker(SerialPortMaker maker) {
    std::lock_guard lock(portsMutex);
    gMaker = std::move(maker);
}
