// An adapter unplugged while connected and plugged in again under the same
// by-id name: the program reconnects and polls again without a click.
#include "app/port_selector.h"
#include "connection/panel/auto_reconnect.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "serial/com_map.h"
#include "support/controller_fixture.h"
#include "support/fake_machine.h"
#include "support/gui_fixture.h"

#include <QComboBox>

#include <chrono>

namespace {

using namespace std::chrono_literals;
constexpr uint16_t kPv = 0x1000;
constexpr const char* kName = "usb-USB_serial_adapter_A50285BI-if00-port0";

class AutoReconnect : public ControllerTest {
  protected:
    void SetUp() override {
        simOptions.timeScale = 0.0; // the values the tests set stay put
        ControllerTest::SetUp();
        prepare(*sim, 250);
        link = machine.linkById(kName, sim->devicePath());
        setComDevice(kSimPort, link); // --com 3=/dev/serial/by-id/...
        portWatch = startPortWatch(objects().reconnect, machine.roots());
        objects().reconnect.enable();
        connect(1);
        ASSERT_TRUE(line().linkUp());
        // The PV timer polls by itself from here on, as in the program.
        setValueAndCommit(MainPanel::handle, MainPanel::pvReadSwitch, 1);
        ASSERT_TRUE(waitUntil([] { return shownPv() == 25.0; }));
    }
    void TearDown() override {
        objects().reconnect.disable();
        portWatch.reset();
        ControllerTest::TearDown();
    }

    static void prepare(sim::SimController& s, uint16_t pv) {
        s.setReg(0x0003, 0);
        s.setReg(0x1F00, uint16_t('@' << 8 | 1));
        s.setReg(kPv, pv);
    }
    // The adapter is pulled out: its device and its by-id link go.
    void unplug() {
        machine.unlinkById(kName);
        sim->closeLine();
    }
    // Plugged in again it is a new device behind the same name.
    sim::SimController& plugInAgain(uint16_t pv) {
        auto back = std::make_unique<sim::SimController>(simOptions);
        EXPECT_TRUE(back->start());
        prepare(*back, pv);
        sim->stop();
        sim = std::move(back);
        machine.linkById(kName, sim->devicePath());
        return *sim;
    }
    bool pollingAgainShows(double pv) {
        return waitUntil(
            [&] { return line().linkUp() && led() == 1 && shownPv() == pv && !pvDimmed(); }, 60s);
    }
    bool onlyTheLostNotice() const {
        return popups.shown.size() == 1 && popups.shown[0].kind == "notice" &&
               popups.shown[0].title == "Connection Lost";
    }
    // The selector's item for COM3, as the watcher last labelled it.
    static std::string comLabel3() {
        auto* ring =
            qobject_cast<QComboBox*>(controlWidget(MainPanel::handle, MainPanel::portSelector));
        return ring ? ring->itemText(kSimPort - 1).toStdString() : "";
    }
    static std::string statusLine() {
        std::string text;
        GetCtrlVal(MainPanel::handle, MainPanel::statusLine, &text);
        return text;
    }
    static std::string selectorText() {
        std::string text;
        GetCtrlVal(MainPanel::handle, MainPanel::portSelector, &text);
        return text;
    }

    FakeMachine machine;
    std::string link;
    std::unique_ptr<PortWatcher> portWatch;
};

TEST_F(AutoReconnect, PlugInAgainUnderTheSameNameResumesPolling) {
    unplug();
    ASSERT_TRUE(waitUntil([this] { return !line().linkUp(); }));
    ASSERT_TRUE(waitUntil([&] { return selectorText().find("not present") != std::string::npos; }))
        << selectorText();

    EXPECT_TRUE(waitUntil([] {
        return statusLine().find("connection lost at ") != std::string::npos;
    })) << statusLine();

    sim::SimController& back = plugInAgain(260);
    ASSERT_TRUE(pollingAgainShows(26.0));
    EXPECT_TRUE(onlyTheLostNotice()) << "nothing asked the operator for a click";
    EXPECT_NE(statusLine().find("reconnected by itself at "), std::string::npos) << statusLine();
    const auto log = back.requestLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "01 03 1F 00 00 01 83 DE") << "the controller is probed first";
}

TEST_F(AutoReconnect, SwappedBeforeAnyPollNoticedIsReconnectedToo) {
    unplug();
    plugInAgain(270);
    ASSERT_TRUE(pollingAgainShows(27.0));
    EXPECT_TRUE(onlyTheLostNotice());
}

TEST_F(AutoReconnect, APortTheOperatorPickedMeanwhileIsLeftAlone) {
    unplug();
    ASSERT_TRUE(waitUntil([this] { return !line().linkUp(); }));
    // The operator tries COM4, whose device is missing.
    setComDevice(4, machine.dev("ttyUSB9"));
    SetCtrlVal(MainPanel::handle, MainPanel::portSelector, 4);
    commit(MainPanel::handle, MainPanel::portSelector);

    plugInAgain(260);
    ASSERT_TRUE(waitUntil([&] { return comLabel3().find("not present") == std::string::npos; }));
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(line().linkUp());
    int selected = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::portSelector, &selected);
    EXPECT_EQ(selected, 4);
}

} // namespace
