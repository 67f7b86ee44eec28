#include "serial/port_discovery.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// One line of a sysfs attribute, without the trailing newline; empty when absent.
std::string readAttribute(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    if (line.size() > 256) line.resize(256);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// name is prefix followed by digits only, e.g. ttyUSB0.
bool numberedName(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
    return std::all_of(name.begin() + long(prefix.size()), name.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

PortKind kindOf(const std::string& ttyName) {
    if (numberedName(ttyName, "ttyUSB")) return PortKind::usbSerial;
    if (numberedName(ttyName, "ttyACM")) return PortKind::acm;
    if (numberedName(ttyName, "ttyS")) return PortKind::uart;
    return PortKind::other;
}

// Digits compare as numbers, so ttyUSB2 comes before ttyUSB10.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i]));
        const bool db = std::isdigit(static_cast<unsigned char>(b[j]));
        if (da && db) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie])))
                ++ie;
            while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je])))
                ++je;
            const std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
            const auto ta = na.find_first_not_of('0'), tb = nb.find_first_not_of('0');
            const std::string sa = ta == std::string::npos ? "" : na.substr(ta);
            const std::string sb = tb == std::string::npos ? "" : nb.substr(tb);
            if (sa.size() != sb.size()) return sa.size() < sb.size();
            if (sa != sb) return sa < sb;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

bool within(const fs::path& path, const fs::path& top) {
    const auto rel = path.lexically_relative(top);
    return !rel.empty() && *rel.begin() != "..";
}

// The USB device of a tty sits a few levels above the tty's own device
// folder (a USB serial port sits in an interface, the interface in the
// device); the first folder up the tree that has idVendor is it.
void readUsbAttributes(FoundPort& port, const DiscoveryRoots& roots, const std::string& ttyName) {
    std::error_code ec;
    const fs::path top = fs::canonical(roots.sys, ec);
    if (ec) return;
    fs::path dir = fs::canonical(fs::path(roots.sys) / "class/tty" / ttyName / "device", ec);
    for (; !ec && within(dir, top); dir = dir.parent_path()) {
        if (!fs::exists(dir / "idVendor", ec)) continue;
        port.vendorId = readAttribute(dir / "idVendor");
        port.productId = readAttribute(dir / "idProduct");
        port.manufacturer = readAttribute(dir / "manufacturer");
        port.product = readAttribute(dir / "product");
        port.serial = readAttribute(dir / "serial");
        return;
    }
}

// Every PC has ttyS0..ttyS31 device nodes whether or not a chip is behind
// them; the serial core's port type says which ones have one.
bool uartAnswers(const DiscoveryRoots& roots, const std::string& ttyName, const fs::path& node) {
    const std::string type = readAttribute(fs::path(roots.sys) / "class/tty" / ttyName / "type");
    if (!type.empty()) return type != "0";
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info{};
    const bool real = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return real;
}

// "usb-Maker_USB_serial_adapter_A50285BI-if00-port0" says
// "Maker USB serial adapter A50285BI": the bus and interface parts dropped.
std::string nameFromById(std::string name) {
    if (const auto dash = name.find('-');
        dash != std::string::npos &&
        std::all_of(name.begin(), name.begin() + long(dash),
                    [](char c) { return std::islower(static_cast<unsigned char>(c)); }))
        name.erase(0, dash + 1);
    if (const auto port = name.rfind("-port"); port != std::string::npos) name.erase(port);
    if (const auto intf = name.rfind("-if"); intf != std::string::npos && name.size() - intf == 5)
        name.erase(intf);
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

std::string sortKey(const FoundPort& p) {
    return p.byId.empty() ? p.node : fs::path(p.byId).filename().string();
}

} // namespace

DiscoveryRoots discoveryRoots() {
    DiscoveryRoots roots;
    if (const char* dev = std::getenv("Q7_DEV_DIR"); dev && *dev) roots.dev = dev;
    if (const char* sys = std::getenv("Q7_SYS_DIR"); sys && *sys) roots.sys = sys;
    return roots;
}

std::vector<FoundPort> discoverPorts(const DiscoveryRoots& roots) {
    std::vector<FoundPort> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(roots.dev, ec)) {
        const std::string name = entry.path().filename().string();
        const PortKind kind = kindOf(name);
        if (kind == PortKind::other || entry.is_directory(ec)) continue;
        if (kind == PortKind::uart && !uartAnswers(roots, name, entry.path())) continue;
        FoundPort port;
        port.kind = kind;
        port.node = entry.path().string();
        if (kind != PortKind::uart) readUsbAttributes(port, roots, name);
        found.push_back(std::move(port));
    }

    std::vector<fs::path> links;
    for (const auto& entry : fs::directory_iterator(fs::path(roots.dev) / "serial/by-id", ec))
        // udev makes a link under a hidden name and renames it into place.
        if (entry.path().filename().string().front() != '.') links.push_back(entry.path());
    std::sort(links.begin(), links.end());
    for (const fs::path& link : links) {
        std::error_code gone;
        const fs::path target = fs::canonical(link, gone);
        if (gone) continue; // a link left behind by a device already unplugged
        auto same = std::find_if(found.begin(), found.end(), [&](const FoundPort& p) {
            std::error_code e;
            return fs::canonical(p.node, e) == target;
        });
        if (same != found.end()) {
            if (same->byId.empty()) same->byId = link.string();
            continue;
        }
        // A device whose node is not among the usual names: the link is what
        // the machine knows it by.
        FoundPort port;
        port.node = target.string();
        port.byId = link.string();
        port.kind = kindOf(target.filename().string());
        readUsbAttributes(port, roots, target.filename().string());
        found.push_back(std::move(port));
    }
    std::sort(found.begin(), found.end(), [](const FoundPort& a, const FoundPort& b) {
        return naturalLess(sortKey(a), sortKey(b));
    });
    return found;
}

std::vector<std::string> portDescription(const FoundPort& port) {
    std::string what = port.product;
    if (!port.manufacturer.empty() && what.rfind(port.manufacturer, 0) != 0)
        what = what.empty() ? port.manufacturer : port.manufacturer + " " + what;
    if (what.empty() && !port.vendorId.empty())
        what = "USB device " + port.vendorId + ":" + port.productId;
    if (what.empty() && !port.byId.empty())
        what = nameFromById(fs::path(port.byId).filename().string());
    if (what.empty() && port.kind == PortKind::uart) what = "built-in serial port";
    std::vector<std::string> parts;
    if (!what.empty()) parts.push_back(what);
    if (!port.serial.empty()) parts.push_back(port.serial);
    return parts;
}

bool sameDevice(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code ea, eb;
    const fs::path ca = fs::canonical(a, ea), cb = fs::canonical(b, eb);
    return !ea && !eb && ca == cb;
}
