// Every COM number that is mapped can be chosen: numbers above the usual
// sixteen (from --com or DftCom.prm), and two numbers reaching one device.
#include "app/port_selector.h"
#include "connection/panel/connection.h"
#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "support/controller_fixture.h"
#include "support/fake_machine.h"
#include "support/gui_fixture.h"

#include <QComboBox>

#include <algorithm>

namespace {

class PortNumbers : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        sim->setReg(0x1F00, uint16_t('@' << 8 | 1));
    }
    void select(int port) {
        SetCtrlVal(MainPanel::handle, MainPanel::portSelector, port);
        commit(MainPanel::handle, MainPanel::portSelector);
    }
    static QComboBox* selector() {
        return qobject_cast<QComboBox*>(controlWidget(MainPanel::handle, MainPanel::portSelector));
    }
    // The selector's item for the number, as the operator sees it in the list.
    static std::string itemFor(int port) {
        QComboBox* ring = selector();
        for (int i = 0; i < ring->count(); ++i)
            if (ring->itemData(i).toInt() == port) return ring->itemText(i).toStdString();
        return "";
    }
    static std::string shown() {
        std::string text;
        GetCtrlVal(MainPanel::handle, MainPanel::portSelector, &text);
        return text;
    }
    bool shownAsPopup(const std::string& title) const {
        const auto titles = popupTitles();
        return std::find(titles.begin(), titles.end(), title) != titles.end();
    }

    FakeMachine machine; // no adapters or UARTs: only what the test maps
};

TEST_F(PortNumbers, AComNumberAboveSixteenIsListedAndConnects) {
    setComDevice(20, sim->devicePath()); // --com 20=...
    refreshPortSelector(machine.roots());
    EXPECT_EQ(itemFor(20), "COM20 (" + sim->devicePath() + ")");
    EXPECT_FALSE(itemFor(16).empty()) << "the usual numbers stay";
    // In order of numbers: COM20 follows COM16.
    EXPECT_EQ(selector()->itemData(16).toInt(), 20);

    select(20);
    EXPECT_TRUE(shownAsPopup("High Comport Number Warning!"));
    EXPECT_FALSE(shownAsPopup("COM Port Finding Error!"));
    EXPECT_EQ(line().comPort(), 20);
    EXPECT_EQ(controller().controllerVariant(), 1);
    EXPECT_EQ(readFile("DftCom.prm"), "20, 19200, 1");
}

TEST_F(PortNumbers, ASavedPortAboveSixteenIsRestoredAsAPortNotAnUnknownCode) {
    setComDevice(20, sim->devicePath());
    refreshPortSelector(machine.roots());
    writeFile("DftCom.prm", "20, 19200, 1");
    runOnControlThread([this] { RdComFile(objects().connection); });
    EXPECT_EQ(shown().rfind("COM20 (", 0), 0u) << shown();
    runOnControlThread([this] { ComportInit(objects().connection); });
    EXPECT_EQ(controller().controllerVariant(), 1);

    // A number nothing maps is the built-in port it stands for, and gets its
    // item too; opening it is another matter.
    writeFile("DftCom.prm", "40, 19200, 1");
    runOnControlThread([this] { RdComFile(objects().connection); });
    EXPECT_EQ(shown(), "COM40 (/dev/ttyS39 \xC2\xB7 not present)");
    EXPECT_EQ(selector()->itemData(selector()->currentIndex()).toInt(), 40);

    // A number no COM port can have is shown as it stands, and refused in words.
    writeFile("DftCom.prm", "300, 19200, 1");
    runOnControlThread([this] { RdComFile(objects().connection); });
    EXPECT_EQ(shown(), "300 (unknown)");
    popups.shown.clear();
    runOnControlThread([this] { ComportInit(objects().connection); });
    ASSERT_FALSE(popups.shown.empty());
    EXPECT_EQ(popups.shown.back().title, "COM Port Finding Error!");
    EXPECT_NE(popups.shown.back().text.find("COM300: no such COM number (1 to 255)"),
              std::string::npos)
        << popups.shown.back().text;
}

TEST_F(PortNumbers, TwoNumbersOnOneDeviceShareTheOpenPort) {
    // As under --simulate: every other number reaches the same controller.
    setSimulatedDevice(sim->devicePath());
    const std::string device = sim->devicePath();
    const int simulatorsOwn = descriptorsOn(device);
    connect(1);
    ASSERT_EQ(controller().controllerVariant(), 1);
    EXPECT_EQ(descriptorsOn(device), simulatorsOwn + 1);

    select(4);
    EXPECT_FALSE(shownAsPopup("COM Port Finding Error!"));
    EXPECT_TRUE(line().linkUp());
    EXPECT_EQ(line().comPort(), 4);
    // Another port object on COM3 (as the Connection dialog's test opens)
    // shares the device the line has open on COM4.
    ComPort other;
    ASSERT_EQ(OpenComConfig(other, kSimPort, "", line().baudRate(), 0, 8, 2, 255, 255), 0);
    EXPECT_EQ(descriptorsOn(device), simulatorsOwn + 1) << "one open device, not two";

    // Letting go of one number leaves the other working.
    CloseCom(other);
    EXPECT_TRUE(comIsOpen(line().port()));
    select(kSimPort);
    EXPECT_TRUE(line().linkUp());
    CloseCom(line().port());
    EXPECT_EQ(descriptorsOn(device), simulatorsOwn) << "the last number closes the device";
}

} // namespace
