#pragma once
// A /dev and /sys tree in a temporary folder, laid out the way the kernel
// and udev lay out the real ones, as far as port discovery reads them.
#include "serial/port_discovery.h"

#include <string>

class FakeMachine {
  public:
    FakeMachine();
    ~FakeMachine();
    FakeMachine(const FakeMachine&) = delete;
    FakeMachine& operator=(const FakeMachine&) = delete;

    DiscoveryRoots roots() const { return {root + "/dev", root + "/sys"}; }
    std::string dev(const std::string& name) const { return root + "/dev/" + name; }

    struct Usb {
        std::string manufacturer, product, serial; // empty: the device has no such string
        std::string vendorId = "1a2b", productId = "3c4d";
    };
    // A USB serial adapter (ttyUSBn) or a CDC-ACM device (ttyACMn) on the
    // USB device at usbPath (e.g. "1-2").
    void addUsbTty(const std::string& tty, const std::string& usbPath, const Usb& usb);
    // A ttySn node; type is the serial core's port type (0: no chip behind it).
    void addUart(const std::string& tty, int type);
    // A device node with nothing about it in sysfs.
    void addNode(const std::string& name);
    // udev's serial/by-id/<name> link to target (a path, or a name under dev).
    std::string linkById(const std::string& name, const std::string& target);
    void unlinkById(const std::string& name);
    // The device goes: its node and its sysfs entry.
    void removeNode(const std::string& name);

    std::string root;
};
