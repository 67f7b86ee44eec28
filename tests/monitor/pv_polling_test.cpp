// The main panel's PV polling: the switch starts and stops it, a silent
// controller marks the display stale without a popup, and it recovers.
#include "link/retry_policy.h"
#include "link/transfer.h"
#include "link_fixture.h"
#include "mainpanel/ids/main_panel.h"

namespace {

class PvPollingTest : public LinkedTest {
  protected:
    void SetUp() override {
        LinkedTest::SetUp();
        SetCtrlAttribute(MainPanel::handle, MainPanel::pvReadSwitch, ATTR_DIMMED, 0);
        // The test ticks by hand; the timer's own ticks would add requests.
        SetCtrlAttribute(MainPanel::handle, MainPanel::pvPollTimer, ATTR_INTERVAL, 3600);
        switchTo(1);
    }
    void switchTo(int on) { setValueAndCommit(MainPanel::handle, MainPanel::pvReadSwitch, on); }
    void tick() {
        postTick(MainPanel::handle, MainPanel::pvPollTimer);
        ASSERT_TRUE(waitIdle());
    }
};

TEST_F(PvPollingTest, SwitchStartsAndStopsPolling) {
    sim->setReg(0x1000, 0x00EB);
    tick();
    EXPECT_DOUBLE_EQ(shownPv(), 23.5);
    EXPECT_FALSE(dimmed(MainPanel::handle, MainPanel::pvDisplay));

    switchTo(0);
    EXPECT_TRUE(dimmed(MainPanel::handle, MainPanel::pvDisplay));
    EXPECT_FALSE(ticking(MainPanel::handle, MainPanel::pvPollTimer));
    const int before = sim->requestCount();
    tick(); // a tick already queued when the switch went off
    EXPECT_EQ(sim->requestCount(), before);

    switchTo(1);
    EXPECT_FALSE(dimmed(MainPanel::handle, MainPanel::pvDisplay));
    EXPECT_TRUE(ticking(MainPanel::handle, MainPanel::pvPollTimer));
    sim->setReg(0x1000, uint16_t(int16_t(-200)));
    tick();
    EXPECT_EQ(sim->requestCount(), before + 1);
    EXPECT_DOUBLE_EQ(shownPv(), -20.0);
}

TEST_F(PvPollingTest, SilentControllerLeavesAStaleMarkAndNoPopup) {
    shortenTimeOut();
    sim->setReg(0x1000, 0x00EB);
    tick();
    sim->dropReplies(2 * retry::kReadAttempts); // two silent ticks
    tick();
    EXPECT_TRUE(dimmed(MainPanel::handle, MainPanel::pvDisplay)) << "stale value must look stale";
    EXPECT_DOUBLE_EQ(shownPv(), 23.5) << "the last good value stays, no made-up 0";
    tick();
    EXPECT_TRUE(popups.shown.empty());

    sim->setReg(0x1000, 0x00F0);
    tick();
    EXPECT_FALSE(dimmed(MainPanel::handle, MainPanel::pvDisplay));
    EXPECT_DOUBLE_EQ(shownPv(), 24.0);
}

TEST_F(PvPollingTest, NoLinkSendsNothingAndShowsNoReading) {
    line().reset();
    const int before = sim->requestCount();
    tick();
    EXPECT_EQ(sim->requestCount(), before);
    EXPECT_TRUE(dimmed(MainPanel::handle, MainPanel::pvDisplay));
}

TEST_F(PvPollingTest, AlarmPollReadsTheStatusWordQuietly) {
    sim->setReg(0x1003, 0x0405);
    SetCtrlAttribute(MainPanel::handle, MainPanel::alarmTimer, ATTR_ENABLED, 0);
    postTick(MainPanel::handle, MainPanel::alarmTimer);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(sim->lastRequestHex().substr(0, 17), "01 03 10 03 00 01");
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_FALSE(line().busy());
}

} // namespace
