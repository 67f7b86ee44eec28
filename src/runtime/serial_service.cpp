#include "runtime/serial_service.h"

#include "runtime/clock.h"
#include "runtime/com_map.h"
#include "runtime/serial_port.h"

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

struct OpenPort {
    std::unique_ptr<SerialPort> port;
    std::chrono::steady_clock::duration timeout = std::chrono::seconds(1);
};

std::mutex portsMutex;
std::map<int, OpenPort> ports;
SerialPortMaker gMaker;
OpenFailureReport gOpenReport;

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

OpenPort* find(int port) {
    std::lock_guard lock(portsMutex);
    auto it = ports.find(port);
    return it == ports.end() || !it->second.port->isOpen() ? nullptr : &it->second;
}

} // namespace

int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int, int) {
    if (port < 1 || port > 255) return kComBadPort;
    const std::string device = deviceName && *deviceName ? deviceName : comDevice(port);
    OpenPort* existing = find(port);
    if (!existing) {
        SerialPortMaker maker;
        {
            std::lock_guard lock(portsMutex);
            maker = gMaker;
        }
        auto serial = maker ? maker(device) : makeTermiosPort();
        std::string why;
        const int rc = serial->open(device, &why);
        if (rc < 0) {
            reportOpenFailure(port, device, why, -rc);
            return kComCannotOpen;
        }
        std::lock_guard lock(portsMutex);
        ports[port] = OpenPort{std::move(serial), std::chrono::seconds(1)};
        existing = &ports[port];
    }
    const int rc = existing->port->configure(baudRate, parity, dataBits, stopBits);
    if (rc < 0) {
        reportOpenFailure(port, device,
                          device + ": cannot set " + std::to_string(baudRate) +
                              " baud, 8 data bits: error " + std::to_string(-rc),
                          -rc);
        CloseCom(port);
        return kComCannotOpen;
    }
    return 0;
}

// Flow control is never used on this line; the port is opened with both off.
int SetXMode(int port, int) {
    return find(port) ? 0 : kComNotOpen;
}
int SetCTSMode(int port, int) {
    return find(port) ? 0 : kComNotOpen;
}

int SetComTime(int port, double seconds) {
    OpenPort* p = find(port);
    if (!p) return kComNotOpen;
    p->timeout = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
    return 0;
}

std::chrono::steady_clock::duration comTimeout(int port) {
    OpenPort* p = find(port);
    return p ? p->timeout : std::chrono::seconds(1);
}

int FlushInQ(int port) {
    OpenPort* p = find(port);
    if (!p) return kComNotOpen;
    p->port->flushInput();
    return 0;
}

int FlushOutQ(int port) {
    OpenPort* p = find(port);
    if (!p) return kComNotOpen;
    p->port->flushOutput();
    return 0;
}

int ComWrt(int port, const void* buffer, int count) {
    OpenPort* p = find(port);
    if (!p) return kComNotOpen;
    return p->port->write(static_cast<const uint8_t*>(buffer), count);
}

int ComRdUntil(int port, void* buffer, int count, std::chrono::steady_clock::time_point deadline) {
    OpenPort* p = find(port);
    if (!p) return 0; // nothing will ever arrive: answer at once rather than idle a second
    return p->port->readUntil(static_cast<uint8_t*>(buffer), count, deadline);
}

int ComRd(int port, void* buffer, int count) {
    return ComRdUntil(port, buffer, count, lineClock().now() + comTimeout(port));
}

int GetComStat(int port) {
    OpenPort* p = find(port);
    return p ? p->port->takeLineErrors() : 0;
}

int CloseCom(int port) {
    std::lock_guard lock(portsMutex);
    auto it = ports.find(port);
    if (it == ports.end()) return kComNotOpen;
    it->second.port->close();
    ports.erase(it);
    return 0;
}

bool comIsOpen(int port) {
    return find(port) != nullptr;
}

bool comLost(int port) {
    OpenPort* p = find(port);
    return p && p->port->lost();
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
