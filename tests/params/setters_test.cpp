#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/status_message.h"
#include "params/params_state.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <QTest>

#include <functional>

namespace {

class SetterTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        connect(1);
        popups.shown.clear();
        sim->clearRequestLog();
    }
    // Sets a control and commits it as the operator does.
    template <class T> void enter(CtrlId control, T value) {
        SetCtrlVal(MainPanel::handle, control, value);
        commit(MainPanel::handle, control);
    }
    std::vector<std::string> requests() const { return sim->requestLog(); }
    static int mainInt(CtrlId c) {
        int v = -1;
        GetCtrlVal(MainPanel::handle, c, &v);
        return v;
    }
    static double mainReal(CtrlId c) {
        double v = 0;
        GetCtrlVal(MainPanel::handle, c, &v);
        return v;
    }
    static std::string head(const std::string& frame) { return frame.substr(0, 17); }
};

} // namespace

TEST_F(SetterTest, RingsAndCycleTimeWriteTheirRegister) {
    enter(MainPanel::sensorRing, 5);
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(lastStatus(), "Sensor type R confirmed");
    EXPECT_EQ(head(requests()[0]), "01 06 00 1C 00 05");
    EXPECT_EQ(controller().parmRecord.sensorType, 5);
    EXPECT_EQ(sim->reg(0x1C), 5);

    enter(MainPanel::cycleTimeNumeric, 60);
    EXPECT_EQ(head(requests().back()), "01 06 00 17 00 3C");
    enter(MainPanel::eropRing, 3);
    EXPECT_EQ(head(requests().back()), "01 06 00 27 00 03");
    enter(MainPanel::timeUnitRing, 1);
    EXPECT_EQ(head(requests().back()), "01 06 00 26 00 01");
    std::string label;
    GetCtrlVal(MainPanel::handle, MainPanel::alarmDelayLabel, &label);
    EXPECT_EQ(label, "Delay (HH:MM)");
    EXPECT_TRUE(popups.shown.empty());
}

// The controller keeps every register's number when the point changes, so
// its SV 500 then reads 50.0: the operator is told so first, and the panel
// reads again every value the change rescaled.
TEST_F(SetterTest, DecimalPointChangeIsAskedAndRereadsWhatItRescales) {
    sim->setReg(0x21, 0);
    sim->setReg(0x00, 500);
    commit(MainPanel::handle, MainPanel::readButton);
    sim->clearRequestLog();
    popups.buttons.push_back(2);
    enter(MainPanel::decimalPointRing, 1);
    EXPECT_TRUE(requests().empty()) << "No sends nothing";
    EXPECT_EQ(mainInt(MainPanel::decimalPointRing), 0);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Decimal Point Change");
    EXPECT_NE(popups.shown[0].text.find("    SV 500 will read 50.0\n"), std::string::npos)
        << popups.shown[0].text;
    EXPECT_NE(popups.shown[0].text.find("    Lo limit -2000 will read -200.0\n"),
              std::string::npos);

    popups.buttons.push_back(1);
    enter(MainPanel::decimalPointRing, 1);
    EXPECT_EQ(requests(),
              (std::vector<std::string>{
                  "01 06 00 21 00 01 18 00", "01 03 00 00 00 01 84 0A", "01 03 00 01 00 01 D5 CA",
                  "01 03 00 04 00 01 C5 CB", "01 03 00 05 00 01 94 0B", "01 03 00 09 00 01 54 08",
                  "01 03 00 0A 00 01 A4 08", "01 03 00 0E 00 01 E5 C9", "01 03 00 23 00 01 75 C0",
                  "01 03 00 24 00 01 C4 01", "01 03 00 29 00 01 55 C2"}));
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::svEntry), 50.0);
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::loLimitNumeric), -200.0);
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 50.0f);
    double digits = 0;
    GetCtrlAttribute(MainPanel::handle, MainPanel::svEntry, ATTR_PRECISION, &digits);
    EXPECT_EQ(digits, 1);
    EXPECT_EQ(popups.shown.size(), 2u); // the question, nothing else
}

// A unit change converts PV alone: asked first, PV is read again at once.
TEST_F(SetterTest, UnitChangeIsAskedAndRereadsPv) {
    SetCtrlAttribute(MainPanel::handle, MainPanel::pvPollTimer, ATTR_INTERVAL, 3600.0);
    SetCtrlAttribute(MainPanel::handle, MainPanel::pvPollTimer, ATTR_ENABLED, 1);
    popups.buttons.push_back(2);
    enter(MainPanel::unitRing, 1);
    EXPECT_TRUE(requests().empty()) << "No sends nothing";
    EXPECT_EQ(mainInt(MainPanel::unitRing), 0);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_NE(popups.shown[0].text.find("    SV 25.0 \u00b0C will read 25.0 \u00b0F\n"),
              std::string::npos)
        << popups.shown[0].text;

    sim->setReg(0x1000, 743);
    popups.buttons.push_back(1);
    enter(MainPanel::unitRing, 1);
    EXPECT_EQ(requests(),
              (std::vector<std::string>{"01 06 00 20 00 01 49 C0", "01 03 10 00 00 01 80 CA"}));
    EXPECT_NEAR(shownPv(), 74.3, 1.0); // the process moves on meanwhile
}

// PV and SV keep the controller's scale until the controller holds a new
// point; the ring returns to the point it holds.
TEST_F(SetterTest, DecimalPointFollowsThePointTheControllerHolds) {
    shortenTimeOut();
    sim->setReg(0x21, 0);
    commit(MainPanel::handle, MainPanel::readButton);
    const auto shownPoint = [this] {
        int ring = -1;
        double digits = -1;
        GetCtrlVal(MainPanel::handle, MainPanel::decimalPointRing, &ring);
        GetCtrlAttribute(MainPanel::handle, MainPanel::svEntry, ATTR_PRECISION, &digits);
        EXPECT_EQ(controller().parmRecord.decimalPoint, ring);
        EXPECT_EQ(controller().scale(), Scale::ofDecimalPoint(ring));
        EXPECT_EQ(digits, ring);
        return ring;
    };
    popups.shown.clear();
    sim->clearRequestLog();
    sim->exceptionNext(3); // refused: the controller keeps no decimal place
    popups.buttons.push_back(1);
    enter(MainPanel::decimalPointRing, 1);
    EXPECT_EQ(requests(), std::vector<std::string>{"01 06 00 21 00 01 18 00"});
    EXPECT_EQ(shownPoint(), 0);
    EXPECT_EQ(popupTitles(), (std::vector<std::string>{"Decimal Point Change", "Parameter Error"}));

    // The controller took the point but its echo was lost: read back, the
    // new point is the controller's, and the scale follows it.
    popups.shown.clear();
    sim->clearRequestLog();
    sim->dropReplies(1);
    popups.buttons.push_back(1);
    enter(MainPanel::decimalPointRing, 1);
    const auto sent = requests();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 2),
              (std::vector<std::string>{"01 06 00 21 00 01 18 00", "01 03 00 21 00 01 D4 00"}));
    EXPECT_EQ(sim->reg(0x21), 1);
    EXPECT_EQ(shownPoint(), 1);
    EXPECT_EQ(popupTitles(), (std::vector<std::string>{"Decimal Point Change", "No Confirmation"}));
}

TEST_F(SetterTest, GroupsWriteTheirRegistersInOrder) {
    SetCtrlVal(MainPanel::handle, MainPanel::hiLimitNumeric, 500.0);
    SetCtrlVal(MainPanel::handle, MainPanel::loLimitNumeric, -10.0);
    SetCtrlVal(MainPanel::handle, MainPanel::pvOffsetNumeric, -2.5);
    SetCtrlVal(MainPanel::handle, MainPanel::swFilterNumeric, 0.5);
    commit(MainPanel::handle, MainPanel::optionUpdateButton);
    auto log = requests();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(head(log[0]), "01 06 00 24 13 88");
    EXPECT_EQ(head(log[1]), "01 06 00 23 FF 9C");
    EXPECT_EQ(head(log[2]), "01 06 00 01 FF E7");
    EXPECT_EQ(head(log[3]), "01 06 00 29 00 05");
    EXPECT_FLOAT_EQ(controller().parmRecord.pvOffset, -2.5f);
    EXPECT_EQ(lastStatus(), "option group written (4 registers)");

    sim->clearRequestLog();
    SetCtrlVal(MainPanel::handle, MainPanel::alarmDelayMajor, 1);
    SetCtrlVal(MainPanel::handle, MainPanel::alarmDelayMinor, 30);
    commit(MainPanel::handle, MainPanel::alarmUpdateButton);
    log = requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(head(log[0]).substr(0, 11), "01 06 00 04");
    EXPECT_EQ(head(log[1]).substr(0, 11), "01 06 00 05");
    EXPECT_EQ(head(log[2]), "01 06 00 08 00 5A");
    EXPECT_EQ(controller().parmRecord.a1DelayTime, 90);

    sim->clearRequestLog();
    SetCtrlVal(MainPanel::handle, MainPanel::softStartMajor, 1);
    SetCtrlVal(MainPanel::handle, MainPanel::softStartMinor, 30);
    commit(MainPanel::handle, MainPanel::softStartUpdateButton);
    log = requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(head(log[0]).substr(0, 11), "01 06 00 0E");
    EXPECT_EQ(head(log[1]), "01 06 00 0F 00 5A");
    EXPECT_TRUE(popups.shown.empty());
}

// A time word shows as its signed split and goes back unchanged; a typed time
// that does not fit the register is refused visibly, never wrapped.
TEST_F(SetterTest, TimeWordsKeepTheirValue) {
    sim->setReg(0x08, 36000);
    sim->setReg(0x0F, 0xFFFF);
    commit(MainPanel::handle, MainPanel::readButton);
    const auto field = [](CtrlId c) {
        int v = 99;
        GetCtrlVal(MainPanel::handle, c, &v);
        return v;
    };
    EXPECT_EQ(field(MainPanel::alarmDelayMajor), -492);
    EXPECT_EQ(field(MainPanel::alarmDelayMinor), -16);
    EXPECT_EQ(field(MainPanel::softStartMajor), 0);
    EXPECT_EQ(field(MainPanel::softStartMinor), -1);

    sim->clearRequestLog();
    commit(MainPanel::handle, MainPanel::alarmUpdateButton);
    commit(MainPanel::handle, MainPanel::softStartUpdateButton);
    auto log = requests();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(head(log[2]), "01 06 00 08 8C A0"); // 36000, as read
    EXPECT_EQ(head(log[4]), "01 06 00 0F FF FF");
    EXPECT_TRUE(popups.shown.empty());

    // 546:08 would be 32768: refused before anything is sent.
    sim->clearRequestLog();
    SetCtrlVal(MainPanel::handle, MainPanel::softStartMajor, 546);
    SetCtrlVal(MainPanel::handle, MainPanel::softStartMinor, 8);
    commit(MainPanel::handle, MainPanel::softStartUpdateButton);
    EXPECT_TRUE(requests().empty());
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Entry Refused");
    EXPECT_NE(popups.shown[0].text.find("546:08"), std::string::npos) << popups.shown[0].text;
    EXPECT_EQ(field(MainPanel::softStartMajor), 0);
    EXPECT_EQ(field(MainPanel::softStartMinor), -1);

    // A typed major beyond any register is refused by the field itself,
    // which keeps its value; nothing is sent.
    popups.shown.clear();
    typeAndEnter(MainPanel::handle, MainPanel::alarmDelayMajor, "1092");
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Entry Refused");
    EXPECT_NE(popups.shown[0].text.find("\"1092\""), std::string::npos) << popups.shown[0].text;
    EXPECT_EQ(field(MainPanel::alarmDelayMajor), -492);
    typeAndEnter(MainPanel::handle, MainPanel::alarmDelayMinor, "1.5");
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_NE(popups.shown[1].text.find("not a whole number"), std::string::npos);
    EXPECT_EQ(field(MainPanel::alarmDelayMinor), -16);
    EXPECT_TRUE(requests().empty());
}

// The arrow keys walk a time to the ends its register holds and no further,
// so that Update sends it instead of refusing the fields.
TEST_F(SetterTest, SteppedTimesStopAtTheRegistersEnds) {
    const auto press = [](CtrlId c, Qt::Key key) {
        QTest::keyClick(controlWidget(MainPanel::handle, c), key);
        return std::pair{mainInt(MainPanel::alarmDelayMajor), mainInt(MainPanel::alarmDelayMinor)};
    };
    sim->setReg(0x08, 32759); // 545:59
    commit(MainPanel::handle, MainPanel::readButton);
    EXPECT_EQ(press(MainPanel::alarmDelayMajor, Qt::Key_Up), std::pair(546, 7));
    EXPECT_EQ(press(MainPanel::alarmDelayMinor, Qt::Key_Up), std::pair(546, 7));
    sim->clearRequestLog();
    commit(MainPanel::handle, MainPanel::alarmUpdateButton);
    ASSERT_EQ(requests().size(), 3u);
    EXPECT_EQ(head(requests()[2]), "01 06 00 08 7F FF");
    EXPECT_TRUE(popups.shown.empty());

    sim->setReg(0x08, uint16_t(-32760)); // -546:00
    commit(MainPanel::handle, MainPanel::readButton);
    EXPECT_EQ(press(MainPanel::alarmDelayMinor, Qt::Key_PageDown), std::pair(-546, -8));
}

TEST_F(SetterTest, RefusedAndUnconfirmedWritesAreReported) {
    shortenTimeOut();
    sim->exceptionNext(3);
    enter(MainPanel::sensorRing, 2);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Parameter Error");
    EXPECT_EQ(popups.shown[0].text,
              "The return byte has shown error!\nPlease check your Hi/Lo Limit.");

    popups.shown.clear();
    sim->dropReplies(1);
    popups.buttons.push_back(1);
    enter(MainPanel::unitRing, 1);
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].title, "No Confirmation");
    EXPECT_NE(popups.shown[1].text.find("Unit (C/F) (0x0020)"), std::string::npos);

    popups.shown.clear();
    // The echoes of the first two writes are lost (each write is read back).
    faultOnRequests({1, 3}, [&] { sim->dropReplies(1); });
    commit(MainPanel::handle, MainPanel::optionUpdateButton);
    sim->setRequestHook(nullptr);
    ASSERT_EQ(popups.shown.size(), 1u); // one message for the whole group
    EXPECT_EQ(lastStatus(), "option group not written whole (4 registers): 2 not confirmed");
    EXPECT_NE(popups.shown[0].text.find("Hi limit (0x0024), Lo limit (0x0023)"), std::string::npos);
}

// Limits that leave the controller no set value it takes are never sent:
// every SV write after them would be refused.
TEST_F(SetterTest, CrossedLimitsAreRefusedBeforeSending) {
    SetCtrlVal(MainPanel::handle, MainPanel::hiLimitNumeric, 100.0);
    SetCtrlVal(MainPanel::handle, MainPanel::loLimitNumeric, 100.04); // the same register word
    commit(MainPanel::handle, MainPanel::optionUpdateButton);
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(popupTitles(), std::vector<std::string>{"Entry Refused"});
    EXPECT_NE(popups.shown[0].text.find("The Lo limit 100.0 is not below the Hi limit 100.0"),
              std::string::npos)
        << popups.shown[0].text;
    double lo = 0, hi = 0;
    GetCtrlVal(MainPanel::handle, MainPanel::loLimitNumeric, &lo);
    GetCtrlVal(MainPanel::handle, MainPanel::hiLimitNumeric, &hi);
    EXPECT_DOUBLE_EQ(lo, -200.0); // what the controller holds
    EXPECT_DOUBLE_EQ(hi, 1200.0);
}

TEST_F(SetterTest, HelpTextsOnRightClick) {
    rightClick(MainPanel::handle, MainPanel::sensorRing);
    EXPECT_TRUE(popups.shown.empty()); // the sensor ring has no help
    rightClick(MainPanel::handle, MainPanel::swFilterNumeric);
    rightClick(MainPanel::handle, MainPanel::a1ModeRing);
    commit(MainPanel::handle, MainPanel::cycleTimeHelp);
    ASSERT_EQ(popups.shown.size(), 3u);
    EXPECT_EQ(popups.shown[0].title, "<SW Filter> Help");
    EXPECT_EQ(popups.shown[1].title, "<A1MD> Help");
    EXPECT_EQ(popups.shown[2].title, "<Cycle Time> Help");
    EXPECT_NE(popups.shown[1].text.find("\t\t\t\tStdy - Standby mode."), std::string::npos);
    EXPECT_TRUE(requests().empty());
}
