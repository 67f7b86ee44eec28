#include "support/fake_machine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
}

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream{path};
}

} // namespace

FakeMachine::FakeMachine() {
    char tmpl[] = "/tmp/q7machine.XXXXXX";
    if (!mkdtemp(tmpl)) ADD_FAILURE() << "mkdtemp";
    root = tmpl;
    fs::create_directories(root + "/dev");
    fs::create_directories(root + "/sys/class/tty");
}

FakeMachine::~FakeMachine() {
    std::error_code ec;
    fs::remove_all(root, ec);
}

void FakeMachine::addUsbTty(const std::string& tty, const std::string& usbPath, const Usb& usb) {
    const fs::path device = fs::path(root) / "sys/devices/pci0000:00/usb1" / usbPath;
    fs::create_directories(device);
    writeText(device / "idVendor", usb.vendorId);
    writeText(device / "idProduct", usb.productId);
    if (!usb.manufacturer.empty()) writeText(device / "manufacturer", usb.manufacturer);
    if (!usb.product.empty()) writeText(device / "product", usb.product);
    if (!usb.serial.empty()) writeText(device / "serial", usb.serial);
    const fs::path interface = device / (usbPath + ":1.0");
    // A USB serial port has a device of its own inside the interface; an
    // ACM tty belongs to the interface itself.
    const bool acm = tty.rfind("ttyACM", 0) == 0;
    const fs::path ttyOwner = acm ? interface : interface / tty;
    const fs::path classDir = ttyOwner / "tty" / tty;
    fs::create_directories(classDir);
    writeText(classDir / "dev", "188:0");
    fs::create_directory_symlink(fs::relative(ttyOwner, classDir), classDir / "device");
    fs::create_directory_symlink(fs::relative(classDir, fs::path(root) / "sys/class/tty"),
                                 fs::path(root) / "sys/class/tty" / tty);
    touch(dev(tty));
}

void FakeMachine::addUart(const std::string& tty, int type) {
    const fs::path classDir = fs::path(root) / "sys/devices/platform/serial8250/tty" / tty;
    writeText(classDir / "type", std::to_string(type));
    fs::create_directory_symlink(fs::relative(classDir, fs::path(root) / "sys/class/tty"),
                                 fs::path(root) / "sys/class/tty" / tty);
    touch(dev(tty));
}

void FakeMachine::addNode(const std::string& name) {
    touch(dev(name));
}

std::string FakeMachine::linkById(const std::string& name, const std::string& target) {
    const fs::path folder = fs::path(root) / "dev/serial/by-id";
    fs::create_directories(folder);
    // udev makes relative links; a test's pseudo-terminal is linked as it is.
    const fs::path to = target.front() == '/' ? fs::path(target) : fs::path("../..") / target;
    // Made beside and renamed into place, as udev does, so a watcher never
    // sees a name without its target.
    const fs::path link = folder / name;
    const fs::path temp = folder / ("." + name + ".tmp");
    fs::create_symlink(to, temp);
    fs::rename(temp, link);
    return link.string();
}

void FakeMachine::unlinkById(const std::string& name) {
    fs::remove(fs::path(root) / "dev/serial/by-id" / name);
}

void FakeMachine::removeNode(const std::string& name) {
    fs::remove(dev(name));
    fs::remove(fs::path(root) / "sys/class/tty" / name); // the kernel forgets it too
}
