// Finding the serial ports on a /dev and /sys tree laid out in a temporary
// folder, and seeing adapters come and go.
#include "serial/port_discovery.h"
#include "serial/port_watcher.h"
#include "support/fake_machine.h"
#include "support/gui_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Usb = FakeMachine::Usb;

const FoundPort* byNode(const std::vector<FoundPort>& ports, const std::string& node) {
    for (const FoundPort& p : ports)
        if (p.node == node) return &p;
    return nullptr;
}

TEST(PortDiscovery, FindsAdaptersAcmDevicesAndAnsweringUartsWithWhatSysfsKnows) {
    FakeMachine m;
    m.addUsbTty("ttyUSB0", "1-2", {"", "USB serial adapter", "A50285BI", "0403", "6001"});
    m.addUsbTty("ttyUSB1", "1-3", {"Maker", "Maker Dual UART", "", "10c4", "ea60"});
    m.addUsbTty("ttyACM0", "1-4", {"Lab", "Data logger", "77", "2341", "0043"});
    m.addUart("ttyS0", 4); // a 16550A answers
    m.addUart("ttyS1", 0); // a node with no chip behind it
    for (const char* other : {"tty0", "ttyS", "ttyUSBx", "null", "loop0"})
        m.addNode(other);
    const std::string link = m.linkById("usb-USB_serial_adapter_A50285BI-if00-port0", "ttyUSB0");

    const std::vector<FoundPort> ports = discoverPorts(m.roots());
    ASSERT_EQ(ports.size(), 4u);

    const FoundPort* withSerial = byNode(ports, m.dev("ttyUSB0"));
    ASSERT_TRUE(withSerial);
    EXPECT_EQ(withSerial->kind, PortKind::usbSerial);
    EXPECT_EQ(withSerial->byId, link);
    EXPECT_EQ(withSerial->openPath(), link) << "a re-plugged adapter is found by its name";
    EXPECT_EQ(withSerial->vendorId, "0403");
    EXPECT_EQ(portDescription(*withSerial),
              (std::vector<std::string>{"USB serial adapter", "A50285BI"}));

    const FoundPort* noSerial = byNode(ports, m.dev("ttyUSB1"));
    ASSERT_TRUE(noSerial);
    EXPECT_TRUE(noSerial->byId.empty());
    EXPECT_EQ(noSerial->openPath(), m.dev("ttyUSB1"));
    EXPECT_EQ(portDescription(*noSerial), std::vector<std::string>{"Maker Dual UART"})
        << "the maker is not said twice";

    const FoundPort* acm = byNode(ports, m.dev("ttyACM0"));
    ASSERT_TRUE(acm);
    EXPECT_EQ(acm->kind, PortKind::acm);
    EXPECT_EQ(portDescription(*acm), (std::vector<std::string>{"Lab Data logger", "77"}));

    const FoundPort* uart = byNode(ports, m.dev("ttyS0"));
    ASSERT_TRUE(uart);
    EXPECT_EQ(uart->kind, PortKind::uart);
    EXPECT_FALSE(byNode(ports, m.dev("ttyS1")));

    // The same devices always come in the same order: named ones by name,
    // the rest by node.
    EXPECT_EQ(ports[0].node, m.dev("ttyACM0"));
    EXPECT_EQ(ports[1].node, m.dev("ttyS0"));
    EXPECT_EQ(ports[2].node, m.dev("ttyUSB1"));
    EXPECT_EQ(ports[3].node, m.dev("ttyUSB0")); // "usb-USB..." sorts after "/..."
}

TEST(PortDiscovery, ByIdLinksToOtherDevicesAreListedUnderTheirNames) {
    FakeMachine m;
    m.addNode("pts9"); // stands for a pseudo-terminal: nothing in sysfs
    m.addUsbTty("ttyUSB10", "1-1", {"", "", "", "1a2b", "3c4d"});
    m.addUsbTty("ttyUSB2", "1-5", {});
    m.linkById("usb-Maker_USB_serial_adapter_A50285BI-if00-port0", m.dev("pts9"));
    m.linkById("usb-Gone_Adapter-if00-port0", m.dev("ttyUSB7")); // left behind, dangling
    m.linkById(".usb-Half_Made-if00-port0", m.dev("pts9"));      // still being made by udev

    const std::vector<FoundPort> ports = discoverPorts(m.roots());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].node, m.dev("ttyUSB2")) << "ttyUSB2 comes before ttyUSB10";
    EXPECT_EQ(ports[1].node, m.dev("ttyUSB10"));
    EXPECT_EQ(portDescription(ports[1]), std::vector<std::string>{"USB device 1a2b:3c4d"});

    const FoundPort& pty = ports[2];
    EXPECT_EQ(pty.node, std::filesystem::canonical(m.dev("pts9")).string());
    EXPECT_EQ(pty.kind, PortKind::other);
    EXPECT_EQ(portDescription(pty), std::vector<std::string>{"Maker USB serial adapter A50285BI"});
}

TEST(PortDiscovery, MissingFoldersMeanNoPorts) {
    EXPECT_TRUE(discoverPorts({"/nonexistent/dev", "/nonexistent/sys"}).empty());
}

class PortWatch : public GuiTest {};

TEST_F(PortWatch, SeesAdaptersPluggedInAndOut) {
    FakeMachine m;
    int changes = 0;
    PortWatcher watcher(m.roots(), [&] { ++changes; });
    ASSERT_TRUE(watcher.watching());

    // Plugged in: the node first, then udev's link in folders it makes then.
    m.addUsbTty("ttyUSB0", "1-2", {"", "USB serial adapter", "A50285BI"});
    ASSERT_TRUE(waitUntil([&] { return changes >= 1; }));
    const std::string link = m.linkById("usb-USB_serial_adapter_A50285BI-if00-port0", "ttyUSB0");
    ASSERT_TRUE(waitUntil([&] {
        const auto ports = discoverPorts(m.roots());
        return changes >= 2 && ports.size() == 1 && ports[0].byId == link;
    }));

    // Unplugged: the link and the node go.
    const int before = changes;
    m.unlinkById("usb-USB_serial_adapter_A50285BI-if00-port0");
    m.removeNode("ttyUSB0");
    ASSERT_TRUE(waitUntil([&] { return changes > before; }));
    EXPECT_TRUE(discoverPorts(m.roots()).empty());

    // udev removes the emptied folders and makes them again for the next
    // adapter: the watch follows them.
    std::filesystem::remove_all(m.root + "/dev/serial");
    m.addNode("ttyACM3");
    int seen = changes;
    ASSERT_TRUE(waitUntil([&] { return changes > seen; }));
    m.linkById("usb-Lab_Logger_77-if00", "ttyACM3"); // makes serial/by-id again
    seen = changes;
    ASSERT_TRUE(waitUntil([&] { return changes > seen; }));
    m.unlinkById("usb-Lab_Logger_77-if00"); // seen only inside the new folder
    seen = changes;
    ASSERT_TRUE(waitUntil([&] { return changes > seen; }));
    EXPECT_TRUE(discoverPorts(m.roots())[0].byId.empty());
}

} // namespace
