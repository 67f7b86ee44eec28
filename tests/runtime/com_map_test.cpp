// Which device each COM number means: --com first, UARTs on their own
// numbers, adapters on the lowest numbers left, kept across re-plugging.
#include "serial/com_map.h"
#include "serial/port_list.h"
#include "support/fake_machine.h"

#include <gtest/gtest.h>

namespace {

const std::string kDot = " \xC2\xB7 ";

TEST(AdapterNumbers, FillTheLowestFreeNumbersAndKeepThem) {
    using Held = std::map<int, std::string>;
    const AdapterName a{"/dev/ttyUSB0", "/dev/serial/by-id/A"};
    const AdapterName b{"/dev/ttyUSB1", ""};
    // --com and UARTs hold 1 and 3.
    EXPECT_EQ(numberAdapters({a, b}, {1, 3}, {}),
              (Held{{2, "/dev/serial/by-id/A"}, {4, "/dev/ttyUSB1"}}));
    // An unplugged adapter keeps its number; a new one does not take it.
    EXPECT_EQ(numberAdapters({b}, {}, {{1, "/dev/serial/by-id/A"}}),
              (Held{{1, "/dev/serial/by-id/A"}, {2, "/dev/ttyUSB1"}}));
    // Plugged into another socket it has another node, and its number.
    EXPECT_EQ(
        numberAdapters({{"/dev/ttyUSB5", "/dev/serial/by-id/A"}}, {}, {{2, "/dev/serial/by-id/A"}}),
        (Held{{2, "/dev/serial/by-id/A"}}));
    // Seen before udev made its link, it was numbered by node: the number
    // passes to the link's name...
    EXPECT_EQ(numberAdapters({a}, {}, {{1, "/dev/ttyUSB0"}}), (Held{{1, "/dev/serial/by-id/A"}}));
    // ...unless the name already had one: the node's number was a duplicate.
    EXPECT_EQ(numberAdapters({a}, {}, {{1, "/dev/serial/by-id/A"}, {2, "/dev/ttyUSB0"}}),
              (Held{{1, "/dev/serial/by-id/A"}}));
    // A number --com takes later is given up.
    EXPECT_EQ(numberAdapters({a}, {1}, {{1, "/dev/serial/by-id/A"}}),
              (Held{{2, "/dev/serial/by-id/A"}}));
    // Past the limit an adapter gets no number.
    std::vector<AdapterName> many;
    for (int i = 0; i < 5; ++i)
        many.push_back({"/dev/ttyUSB" + std::to_string(i), ""});
    const Held numbered = numberAdapters(many, {2}, {}, 4);
    EXPECT_EQ(numbered, (Held{{1, "/dev/ttyUSB0"}, {3, "/dev/ttyUSB1"}, {4, "/dev/ttyUSB2"}}));
}

class ComMap : public ::testing::Test {
  protected:
    void SetUp() override { clearComMap(); }
    void TearDown() override { clearComMap(); }
    void scan() { setFoundPorts(discoverPorts(m.roots())); }
    FakeMachine m;
};

TEST_F(ComMap, CommandLineWinsUartsKeepTheirNumbersAdaptersTakeWhatIsLeft) {
    m.addUart("ttyS0", 4);
    m.addUart("ttyS2", 0); // no chip: its number is free
    m.addUsbTty("ttyUSB0", "1-2", {"", "USB serial adapter", "A50285BI"});
    const std::string adapter = m.linkById("usb-USB_serial_adapter_A50285BI-if00-port0", "ttyUSB0");
    m.addUsbTty("ttyUSB1", "1-3", {"", "Plain adapter", ""});
    m.addUsbTty("ttyACM0", "1-4", {"Lab", "Data logger", "77"});
    const std::string logger = m.linkById("usb-Lab_Data_logger_77-if00", "ttyACM0");
    setComDevice(2, "/dev/special");
    setComDevice(5, logger); // mapped by name: not numbered a second time
    scan();

    EXPECT_EQ(comEntry(1).source, ComSource::uart);
    EXPECT_EQ(comDevice(1), m.dev("ttyS0"));
    EXPECT_EQ(comEntry(2).source, ComSource::commandLine);
    EXPECT_EQ(comDevice(3), m.dev("ttyUSB1"));
    EXPECT_EQ(comDevice(4), adapter) << "opened by its by-id name";
    EXPECT_EQ(comDevice(5), logger);
    EXPECT_EQ(comEntry(6).source, ComSource::fallback);
    EXPECT_EQ(comDevice(6), "/dev/ttyS5");

    EXPECT_EQ(comLabel(4),
              "COM4 (" + m.dev("ttyUSB0") + kDot + "USB serial adapter" + kDot + "A50285BI)");
    EXPECT_EQ(comLabel(6), "COM6 (/dev/ttyS5" + kDot + "not present)");
    EXPECT_EQ(portListing(),
              (std::vector<std::string>{
                  "COM1 (" + m.dev("ttyS0") + kDot + "built-in serial port)",
                  "COM2 (/dev/special" + kDot + "not present)",
                  "COM3 (" + m.dev("ttyUSB1") + kDot + "Plain adapter)",
                  comLabel(4),
                  "COM5 (" + m.dev("ttyACM0") + kDot + "Lab Data logger" + kDot + "77)",
              }));

    // The simulated controller answers on every number --com leaves.
    setSimulatedDevice("/dev/pts/77");
    EXPECT_EQ(comDevice(4), "/dev/pts/77");
    EXPECT_EQ(comDevice(9), "/dev/pts/77");
    EXPECT_EQ(comDevice(5), logger);
}

TEST_F(ComMap, AnAdapterKeepsItsNumberWhileUnpluggedAndAcrossSockets) {
    m.addUsbTty("ttyUSB0", "1-2", {"", "USB serial adapter", "A50285BI"});
    const std::string name = "usb-USB_serial_adapter_A50285BI-if00-port0";
    const std::string link = m.linkById(name, "ttyUSB0");
    scan();
    ASSERT_EQ(comDevice(1), link);

    m.unlinkById(name);
    m.removeNode("ttyUSB0");
    scan();
    EXPECT_EQ(comDevice(1), link);
    EXPECT_EQ(comLabel(1), "COM1 (" + link + kDot + "not present)");

    // Another adapter meanwhile takes the next number, not the absent one's.
    m.addUsbTty("ttyUSB0", "1-5", {"", "Other adapter", "B1"});
    scan();
    EXPECT_EQ(comDevice(2), m.dev("ttyUSB0"));

    // Back in another socket, before and after udev made its link.
    m.addUsbTty("ttyUSB1", "1-6", {"", "USB serial adapter", "A50285BI"});
    scan();
    EXPECT_EQ(comDevice(3), m.dev("ttyUSB1")) << "known by its node until the link exists";
    m.linkById(name, "ttyUSB1");
    scan();
    EXPECT_EQ(comDevice(1), link);
    EXPECT_EQ(comEntry(3).source, ComSource::fallback) << "no number twice for one adapter";
    EXPECT_EQ(portListing().size(), 2u);
}

TEST_F(ComMap, AdaptersPastTheSelectorsNumbersAreListedForMappingByHand) {
    for (int n = 1; n <= kAutoComNumbers; ++n)
        setComDevice(n, "/dev/null");
    m.addUsbTty("ttyUSB0", "1-2", {"", "USB serial adapter", ""});
    scan();
    const std::vector<std::string> lines = portListing();
    ASSERT_EQ(lines.size(), std::size_t(kAutoComNumbers + 1));
    EXPECT_EQ(lines.back(), "no free COM number (" + m.dev("ttyUSB0") + kDot +
                                "USB serial adapter): map it with --com N=" + m.dev("ttyUSB0"));
}

} // namespace
