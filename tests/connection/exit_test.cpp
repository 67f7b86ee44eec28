#include "chart/data_log.h"
#include "chart/panel/ids/chart_panel.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "serial/serial_service.h"
#include "support/controller_fixture.h"

namespace {

class ExitTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        connect(1);
        ASSERT_TRUE(line().linkUp());
        SetCtrlAttribute(MainPanel::handle, MainPanel::pvPollTimer, ATTR_ENABLED, 1);
        SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_ENABLED, 1);
        logPath = workDir + "/run.dat";
        ASSERT_TRUE(objects().log.open(logPath, false, nullptr));
        requestsBefore = sim->requestCount();
    }

    static bool timerOn(int panel, CtrlId timer) {
        double on = -1;
        GetCtrlAttribute(panel, timer, ATTR_ENABLED, &on);
        return on != 0;
    }

    std::string logPath;
    int requestsBefore = 0;
};

} // namespace

TEST_F(ExitTest, IdleControllerEndsWithoutAQuestion) {
    sim->setReg(0x1003, 0x0000);
    sim->setReg(0x0003, 1);
    commit(MainPanel::handle, MainPanel::exitButton);
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(sim->requestCount(), requestsBefore + 1); // the status read only
    EXPECT_EQ(sim->reg(0x0003), 1);
    EXPECT_FALSE(timerOn(MainPanel::handle, MainPanel::pvPollTimer));
    EXPECT_FALSE(timerOn(ChartPanel::handle, ChartPanel::chartTimer));
    EXPECT_FALSE(objects().log.on());
    EXPECT_FALSE(comIsOpen(line().port()));
}

TEST_F(ExitTest, RunningControllerAsksAndCancelKeepsEverything) {
    sim->setReg(0x1003, 0x0405);
    popups.buttons.push_back(2);
    commit(MainPanel::handle, MainPanel::exitButton);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Program Ending");
    EXPECT_EQ(popups.shown[0].text,
              "Ending program will trun off all running function including data logging!");
    EXPECT_TRUE(timerOn(MainPanel::handle, MainPanel::pvPollTimer));
    EXPECT_TRUE(timerOn(ChartPanel::handle, ChartPanel::chartTimer));
    EXPECT_TRUE(objects().log.on());
    EXPECT_TRUE(comIsOpen(line().port()));
}

TEST_F(ExitTest, RunningControllerConfirmedIsSwitchedOff) {
    sim->setReg(0x1003, 0x0405);
    sim->setReg(0x0003, 5);
    popups.buttons.push_back(1);
    commit(MainPanel::handle, MainPanel::exitButton);
    EXPECT_EQ(sim->reg(0x0003), 0);
    EXPECT_EQ(sim->requestCount(), requestsBefore + 2);
    EXPECT_FALSE(timerOn(MainPanel::handle, MainPanel::pvPollTimer));
    EXPECT_FALSE(objects().log.on());
    EXPECT_FALSE(comIsOpen(line().port()));
}

TEST_F(ExitTest, FailedProbeAsksNothing) {
    sim->setReg(0x1003, 0x0405);
    sim->setReg(0x1F00, 0);
    connect(1); // probe fails: portStatus -1, link down, port left open
    ASSERT_EQ(line().portStatus(), -1);
    popups.shown.clear();
    commit(MainPanel::handle, MainPanel::exitButton);
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(sim->reg(0x0003), 1);
    EXPECT_TRUE(comIsOpen(line().port())); // linkUp 0: the port is not closed
}

TEST_F(ExitTest, QuitAfterFailedProbeLeavesPortAndClosesLog) {
    sim->setReg(0x1F00, 0);
    connect(1);
    ASSERT_FALSE(line().linkUp());
    const int before = sim->requestCount();
    commit(MainPanel::handle, MainPanel::quitButton);
    EXPECT_EQ(sim->requestCount(), before);
    EXPECT_TRUE(comIsOpen(line().port()));
    EXPECT_FALSE(objects().log.on());
}

// Off refused at the exit: the operator is asked whether to end anyway.
// Staying keeps everything running; ending anyway ends as usual.
TEST_F(ExitTest, OffNotConfirmedAsksWhetherToEndAnyway) {
    shortenTimeOut();
    // Running, but no tick may slip in between the requests this test counts.
    SetCtrlAttribute(MainPanel::handle, MainPanel::pvPollTimer, ATTR_INTERVAL, 3600);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, 3600);
    sim->setReg(0x1003, 0x0405);
    sim->setReg(0x0003, 5);
    sim->clearRequestLog();
    // The status read is answered; the write after it is refused.
    sim->setRequestHook([&](int n) {
        if (n == requestsBefore + 2) sim->exceptionNext(4);
    });
    popups.buttons = {1, 2}; // end the program; then stay
    commit(MainPanel::handle, MainPanel::exitButton);
    EXPECT_EQ(sim->requestLog(),
              (std::vector<std::string>{"01 03 10 03 00 01 70 CA", "01 06 00 03 00 00 79 CA"}));
    EXPECT_EQ(sim->reg(0x0003), 5);
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].title, "Controller Not Switched Off");
    EXPECT_NE(popups.shown[1].text.find("refused control mode Off (exception code 4)"),
              std::string::npos);
    EXPECT_TRUE(timerOn(MainPanel::handle, MainPanel::pvPollTimer));
    EXPECT_TRUE(timerOn(ChartPanel::handle, ChartPanel::chartTimer));
    EXPECT_TRUE(objects().log.on());
    EXPECT_TRUE(comIsOpen(line().port()));

    popups.shown.clear();
    popups.buttons = {1, 1}; // end the program; then end anyway
    sim->setRequestHook([&](int n) {
        if (n == requestsBefore + 4) sim->dropReplies(1);
    });
    commit(MainPanel::handle, MainPanel::exitButton);
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_NE(popups.shown[1].text.find("did not confirm control mode Off"), std::string::npos);
    EXPECT_FALSE(objects().log.on());
    EXPECT_FALSE(comIsOpen(line().port()));
    sim->setRequestHook(nullptr);
}
