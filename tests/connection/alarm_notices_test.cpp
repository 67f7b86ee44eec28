// Alarms reach the operator: a notification and a data log line when the
// alarm outputs turn on, once per turn, and none when switched off.
#include "chart/data_log.h"
#include "connection/panel/alarm_notices.h"
#include "mainpanel/ids/main_panel.h"
#include "support/controller_fixture.h"

namespace {

class AlarmNoticeTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        connect(1);
        popups.shown.clear();
    }
    void poll(uint16_t status) {
        sim->setReg(0x1003, status);
        postTick(MainPanel::handle, MainPanel::alarmTimer);
        ASSERT_TRUE(waitIdle());
    }
    int notices() const { return int(popups.notifications.size()); }
};

} // namespace

TEST_F(AlarmNoticeTest, OncePerTurnOnAndNoneWhenSwitchedOff) {
    ASSERT_TRUE(objects().log.open(workDir + "/run.dat", false, nullptr));
    poll(0x0400); // a program running is no alarm
    EXPECT_EQ(notices(), 0);
    poll(0x0100);
    ASSERT_EQ(notices(), 1);
    EXPECT_EQ(popups.notifications[0].title, "Alarm");
    EXPECT_EQ(popups.notifications[0].text.find("alarm 1 output on, controller 1 on COM3 at "), 0u)
        << popups.notifications[0].text;
    poll(0x0100);
    poll(0x0100);
    EXPECT_EQ(notices(), 1) << "not on every poll";
    poll(0x0300);
    EXPECT_EQ(notices(), 2) << "alarm 2 turned on as well";
    EXPECT_NE(popups.notifications[1].text.find("alarm 2 output on"), std::string::npos);

    objects().notices.setSwitches({false, true});
    poll(0);
    poll(0x0100);
    EXPECT_EQ(notices(), 2);
    objects().log.close();
    // The log keeps every turn, notified or not.
    const std::string log = readFile("run.dat");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
    EXPECT_NE(log.find(", alarm 1 output on, controller 1 on COM3\n"), std::string::npos) << log;
}
