// The program as the operator uses it, on a faulty line: the PV display, the
// parameter read and a device that vanishes and comes back.
#include "fault_matrix.h"
#include "link/line.h"
#include "link/retry_policy.h"
#include "link/transfer.h"
#include "mainpanel/ids/main_panel.h"
#include "params/parameter_file.h"
#include "params/params_state.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <algorithm>
#include <atomic>

namespace {

constexpr uint16_t kPvRegister = 0x1000;

class PanelFaultTest : public ControllerTest {
  protected:
    void SetUp() override {
        simOptions.timeScale = 0.0; // the values the tests set stay put
        ControllerTest::SetUp();
        sim->setReg(0x0003, 0);
        sim->setReg(0x1F00, uint16_t('@' << 8 | 1));
        connect(1);
        ASSERT_TRUE(line().linkUp());
        ASSERT_TRUE(popups.shown.empty());
        // The test ticks by hand; the timer's own ticks would add requests.
        SetCtrlAttribute(MainPanel::handle, MainPanel::pvPollTimer, ATTR_INTERVAL, 3600);
        setValueAndCommit(MainPanel::handle, MainPanel::pvReadSwitch, 1);
    }
    void pollPv() {
        postTick(MainPanel::handle, MainPanel::pvPollTimer);
        ASSERT_TRUE(waitIdle());
    }
    std::string record() { return formatParameterFile(controller().parmRecord); }
};

} // namespace

TEST_F(PanelFaultTest, PvDisplayShowsOnlyValuesTheControllerSent) {
    int16_t raw = 200;
    for (const LineFault& fault : replyFaults()) {
        SCOPED_TRACE(fault.name);
        const double before = shownPv();
        sim->setReg(kPvRegister, uint16_t(++raw));
        // Every attempt of one poll fails: the display keeps its value, marked stale.
        // (Late answers and replies behind noise carry the right value.)
        if (fault.name != "late reply" && fault.name != "noise before the reply") {
            for (int i = 0; i < retry::kReadAttempts; ++i)
                fault.inject(*sim);
            pollPv();
            EXPECT_DOUBLE_EQ(shownPv(), before);
            EXPECT_TRUE(pvDimmed());
        }
        // One fault: the poll asks again and shows the controller's value.
        sim->setReg(kPvRegister, uint16_t(++raw));
        fault.inject(*sim);
        pollPv();
        EXPECT_DOUBLE_EQ(shownPv(), controller().scale().toValue(int16_t(raw)));
        EXPECT_FALSE(pvDimmed());
    }
    sim->sendNoise(9);
    pollPv();
    EXPECT_DOUBLE_EQ(shownPv(), controller().scale().toValue(int16_t(raw)));
    EXPECT_TRUE(popups.shown.empty()) << popups.shown.front().title;
    EXPECT_EQ(led(), 1);
}

TEST_F(PanelFaultTest, ParameterReadThroughAFaultPerRegisterMatchesACleanRead) {
    commit(MainPanel::handle, MainPanel::readButton);
    const std::string clean = record();
    controller().parmRecord = ParmRecord{};

    // The first attempt at every other register meets the next fault of the matrix.
    const std::vector<LineFault> faults = replyFaults();
    const int base = sim->requestCount();
    std::atomic<int> injected{0};
    sim->setRequestHook([&, base](int n) {
        const int k = n - base; // 1-based within the read
        if (k % 2 == 0 && std::size_t(k / 2 - 1) < faults.size()) {
            faults[std::size_t(k / 2 - 1)].inject(*sim);
            ++injected;
        }
    });
    commit(MainPanel::handle, MainPanel::readButton);
    sim->setRequestHook(nullptr);
    EXPECT_EQ(injected.load(), int(faults.size()));
    EXPECT_EQ(record(), clean);
    EXPECT_TRUE(popups.shown.empty()) << popups.shown.front().title;
    EXPECT_FALSE(line().busy());
}

TEST_F(PanelFaultTest, VanishedDeviceIsReportedOnceAndReconnectsWhenBack) {
    sim->setReg(kPvRegister, 250);
    pollPv();
    ASSERT_DOUBLE_EQ(shownPv(), 25.0);

    sim->closeLine();
    for (int i = 0; i < 5; ++i)
        pollPv();
    ASSERT_EQ(popups.shown.size(), 1u) << "one message, not one per poll";
    EXPECT_EQ(popups.shown[0].title, "Connection Lost");
    EXPECT_NE(popups.shown[0].text.find("COM3"), std::string::npos);
    EXPECT_EQ(led(), 0);
    EXPECT_FALSE(line().linkUp());
    EXPECT_TRUE(pvDimmed());
    EXPECT_DOUBLE_EQ(shownPv(), 25.0);
    EXPECT_FALSE(comIsOpen(line().port())) << "the dead device is let go";
    EXPECT_FALSE(line().busy());

    // The adapter is plugged back in; it shows up under a new device node.
    auto back = std::make_unique<sim::SimController>(simOptions);
    ASSERT_TRUE(back->start());
    back->setReg(0x0003, 0);
    back->setReg(0x1F00, uint16_t('@' << 8 | 1));
    back->setReg(kPvRegister, 260);
    setComDevice(kSimPort, back->devicePath());
    sim->stop();
    sim = std::move(back);
    connect(1);
    EXPECT_TRUE(line().linkUp());
    EXPECT_EQ(led(), 1);
    EXPECT_EQ(popups.shown.size(), 1u);
    pollPv();
    EXPECT_DOUBLE_EQ(shownPv(), 26.0);
    EXPECT_FALSE(pvDimmed());
}
