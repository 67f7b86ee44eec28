#pragma once
// Finds the serial devices present: USB serial adapters (ttyUSB*), CDC-ACM
// devices (ttyACM*), built-in UARTs that a real chip answers for (ttyS*) and
// udev's stable names for them under serial/by-id. The /dev and /sys roots
// are parameters, so a test can lay out a tree of its own.
#include <string>
#include <vector>

struct DiscoveryRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
};
// /dev and /sys, unless Q7_DEV_DIR or Q7_SYS_DIR name other folders.
DiscoveryRoots discoveryRoots();

enum class PortKind { usbSerial, acm, uart, other };

struct FoundPort {
    PortKind kind = PortKind::other;
    std::string node; // the device node, e.g. /dev/ttyUSB0
    std::string byId; // its udev by-id link, or empty
    // Read from the USB device in sysfs, where known.
    std::string manufacturer, product, serial, vendorId, productId;

    // What to open: the by-id link where there is one, so an adapter plugged
    // into another socket is still the same port.
    const std::string& openPath() const { return byId.empty() ? node : byId; }
};

// Sorted so that the same devices always come in the same order: by-id name,
// else device node in natural order (ttyUSB2 before ttyUSB10).
std::vector<FoundPort> discoverPorts(const DiscoveryRoots& roots);

// What follows the device in a port's label, e.g. {"USB serial adapter", "A50285BI"}.
std::vector<std::string> portDescription(const FoundPort& port);

// Whether two paths reach the same device (links followed).
bool sameDevice(const std::string& a, const std::string& b);
