// The step program between the controller's registers and the panel.
#include "link/controller.h"
#include "mainpanel/ids/wait_panel.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/status_message.h"
#include "program_fixture.h"

#include <QAbstractButton>

#include <cstdio>

namespace {

class Transfer : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        connectWithDecimals();
    }
    static std::string prefix(uint16_t reg, uint16_t value) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "01 06 %02X %02X %02X %02X", reg >> 8, reg & 0xFF,
                      value >> 8, value & 0xFF);
        return buf;
    }
};

} // namespace

TEST_F(Transfer, ReadScalesSignsAndUnsignedWords) {
    sim->setReg(0x0032, 55);
    sim->setReg(0x0033, 40000);          // step 0 time 1
    sim->setReg(0x0034, 1505);           // step 0 set value
    sim->setReg(0x0035, 32768);          // step 0 time 2
    sim->setReg(0x0036, 0x010A);         // action with a stray high byte
    sim->setReg(0x0037, 65535);          // loop count
    sim->setReg(0x0039, uint16_t(-200)); // step 1 set value
    sim->setReg(0x003B, 8);              // step 1 ends the program
    commit(p, sp::loadCtrlButton);
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(value(p, sp::time1[0]), 40000);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[0]), 150.5);
    EXPECT_EQ(value(p, sp::time2[0]), 32768);
    EXPECT_EQ(value(p, sp::action[0]), 10);
    EXPECT_EQ(value(p, sp::loopCnt[0]), 65535);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[1]), -20.0);
    EXPECT_DOUBLE_EQ(real(p, sp::bandEntry), 5.5);
    EXPECT_TRUE(stepEntriesDimmed(2)); // the chain rule ran after the load
    EXPECT_EQ(int(sim->requestLog().size()), 9);
    EXPECT_FALSE(waitPopupShown());

    controller().setScale(Scale{});
    commit(p, sp::loadCtrlButton);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[0]), 1505.0);
}

TEST_F(Transfer, WriteSendsFortyOneFramesInRegisterOrder) {
    for (int i = 0; i < 8; ++i)
        setStep(i, 100.0 + i, 10 + i, 20 + i, 10, 0);
    setStep(1, -20.0, 40000, 5, 0, 9999);
    SetCtrlVal(p, sp::stepSv[2], 150.5);
    SetCtrlVal(p, sp::bandEntry, 2.5);
    commit(p, sp::saveCtrlButton);
    EXPECT_TRUE(popups.shown.empty());
    const auto log = sim->requestLog();
    ASSERT_EQ(log.size(), 41u);
    EXPECT_EQ(log[0].substr(0, 17), prefix(0x0033, 10));
    EXPECT_EQ(log[1].substr(0, 17), prefix(0x0034, 1000));
    EXPECT_EQ(log[5].substr(0, 17), prefix(0x0038, 40000));
    EXPECT_EQ(log[6].substr(0, 17), prefix(0x0039, uint16_t(-200)));
    EXPECT_EQ(log[9].substr(0, 17), prefix(0x003C, 9999));
    EXPECT_EQ(log[11].substr(0, 17), prefix(0x003E, 1505));
    EXPECT_EQ(log[39].substr(0, 17), prefix(0x005A, 0));
    EXPECT_EQ(log[40].substr(0, 17), prefix(0x0032, 25));
    for (int k = 0; k < 40; ++k) {
        const uint16_t reg = uint16_t(0x0033 + k);
        EXPECT_EQ(log[std::size_t(k)].substr(0, 11), prefix(reg, 0).substr(0, 11)) << k;
    }
    EXPECT_FALSE(waitPopupShown());

    // What was written reads back the same.
    setStep(1, 0, 0, 0, 0, 0);
    commit(p, sp::loadCtrlButton);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[1]), -20.0);
    EXPECT_EQ(value(p, sp::time1[1]), 40000);
    EXPECT_EQ(value(p, sp::loopCnt[1]), 9999);
}

TEST_F(Transfer, SetBandWritesOnlyTheBand) {
    setValueAndCommit(p, sp::bandEntry, 7.5);
    const auto log = sim->requestLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].substr(0, 17), prefix(0x0032, 75));
    EXPECT_EQ(sim->reg(0x0032), 75);
    rightClick(p, sp::bandEntry);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "<Tolerance Band> Help");
}

TEST_F(Transfer, LostStepKeepsItsEntriesAndIsNamed) {
    shortenTimeOut();
    setStep(0, 77.7, 7, 7, 10, 7);
    sim->setReg(0x0039, 333);
    sim->dropReplies(2); // step 0 and its retry
    commit(p, sp::loadCtrlButton);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[0]), 77.7);
    EXPECT_EQ(value(p, sp::loopCnt[0]), 7);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[1]), 33.3);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_NE(popups.shown[0].text.find("could not be read from the controller: 0."),
              std::string::npos)
        << popups.shown[0].text;

    popups.shown.clear();
    sim->flipBit(4, 0); // a corrupt reply is asked for again and then accepted
    commit(p, sp::loadCtrlButton);
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(int(sim->requestLog().size()), 10 + 10);
}

TEST_F(Transfer, SilentControllerStopsBothTransfersEarly) {
    shortenTimeOut();
    setStep(3, 12.3, 1, 1, 10, 0);
    sim->dropReplies(1000);
    commit(p, sp::loadCtrlButton);
    EXPECT_EQ(int(sim->requestLog().size()), 3);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[3]), 12.3);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_NE(popups.shown[0].text.find("does not answer"), std::string::npos);

    commit(p, sp::saveCtrlButton);
    EXPECT_EQ(int(sim->requestLog().size()), 6);
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_NE(popups.shown[1].text.find("does not answer"), std::string::npos);
    EXPECT_FALSE(waitPopupShown());
}

TEST_F(Transfer, RefusedWriteIsNamed) {
    sim->exceptionNext(3);
    commit(p, sp::saveCtrlButton);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_NE(popups.shown[0].text.find("refused: 0x0033 (step 0 time 1)"), std::string::npos)
        << popups.shown[0].text;
    EXPECT_EQ(int(sim->requestLog().size()), 41);
}

TEST_F(Transfer, OpeningThePanelShowsTheControllersProgram) {
    sim->setReg(0x0034, 1234);
    commit(m, MainPanel::stepProgramButton);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[0]), 123.4);
    SetCtrlVal(p, sp::stepSv[0], 99.0);
    commit(m, MainPanel::stepProgramButton);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[0]), 123.4);
}

// Cancel on the wait popup stops the write between two registers: each
// register sent had its answer, none after it was touched, the operator is
// told how far it got, and the line is clean for what comes next.
TEST_F(Transfer, CancelStopsTheWriteAtARegisterBoundaryAndSaysHowFar) {
    for (int i = 0; i < 8; ++i)
        setStep(i, 100.0 + i, 10 + i, 20 + i, 10, 0);
    SetCtrlVal(p, sp::bandEntry, 2.5);
    for (uint16_t r = 0x0032; r <= 0x005A; ++r)
        sim->setReg(r, 7); // the program the controller held before
    auto* cancel =
        qobject_cast<QAbstractButton*>(controlWidget(WaitPanel::handle, WaitPanel::cancelButton));
    ASSERT_NE(cancel, nullptr);
    const int first = sim->requestCount();
    // Pressed while the 12th register is on its way, as an operator would.
    sim->setRequestHook([&, first](int n) {
        if (n == first + 12)
            QMetaObject::invokeMethod(
                cancel, [cancel] { cancel->setChecked(true); }, Qt::QueuedConnection);
    });
    commit(p, sp::saveCtrlButton);
    sim->setRequestHook(nullptr);

    EXPECT_EQ(sim->requestCount(), first + 12);
    EXPECT_EQ(sim->reg(0x003E), 1020) << "step 2 set value, the 12th register";
    EXPECT_EQ(sim->reg(0x003F), 7) << "nothing after the boundary";
    EXPECT_EQ(sim->reg(0x0032), 7) << "the band goes last and was not sent";
    EXPECT_FALSE(waitPopupShown());
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_NE(popups.shown[0].text.find("after 12 of 41 registers"), std::string::npos)
        << popups.shown[0].text;
    EXPECT_EQ(lastStatus(), "step program write cancelled: 12 of 41 registers written");

    // The next transfer starts with Cancel released and runs whole.
    popups.shown.clear();
    const int before = sim->requestCount();
    commit(p, sp::loadCtrlButton);
    EXPECT_EQ(sim->requestCount(), before + 9);
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_EQ(lastStatus(), "step program read");
    SetCtrlVal(p, sp::bandEntry, 2.5); // the read showed the controller's band
    commit(p, sp::saveCtrlButton);
    EXPECT_EQ(sim->reg(0x0032), 25);
    EXPECT_EQ(lastStatus(), "step program written");
}

// Every action code the controller holds comes back from the panel as the
// same code, by its name; one no name stands for is shown as the code.
TEST_F(Transfer, ActionChoiceRoundTripsEveryCode) {
    const int codes[8] = {10, 8, 0, 7, 9, 3, 255, 10};
    for (int i = 0; i < 8; ++i)
        for (int field = 0; field < 5; ++field)
            sim->setReg(uint16_t(0x0033 + 5 * i + field), field == 3 ? uint16_t(codes[i]) : 0);
    commit(p, sp::loadCtrlButton);
    const char* names[8] = {"Next",           "End",         "Loop to step 0",
                            "Loop to step 7", "9 (unknown)", "Loop to step 3",
                            "255 (unknown)",  "Next"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(value(p, sp::action[i]), codes[i]) << i;
        std::string shown;
        GetCtrlVal(p, sp::action[i], &shown);
        EXPECT_EQ(shown, names[i]) << i;
    }
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/codes.srp"});
    commit(p, sp::saveFileButton);
    const std::string saved = readFile("codes.srp");
    for (const char* group : {"0 0 10 0", "0 0 8 0", "0 0 9 0", "0 0 255 0"})
        EXPECT_NE(saved.find(group), std::string::npos) << group;
}
