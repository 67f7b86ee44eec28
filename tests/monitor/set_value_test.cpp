// SV and output level writes: the frames on the wire, the exception popup,
// and a write the controller never confirmed.
#include "link/controller.h"
#include "link_fixture.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/status_message.h"

namespace {

class SetValueTest : public LinkedTest {
  protected:
    void SetUp() override {
        LinkedTest::SetUp();
        SetCtrlAttribute(MainPanel::handle, MainPanel::svEntry, ATTR_DIMMED, 0);
        SetCtrlAttribute(MainPanel::handle, MainPanel::svEntry, ATTR_PRECISION, 1);
    }
    void enterSv(double v) { setValueAndCommit(MainPanel::handle, MainPanel::svEntry, v); }
    void sendOutput(double percent) {
        SetCtrlVal(MainPanel::handle, MainPanel::outputLevelNumeric, percent);
        commit(MainPanel::handle, MainPanel::outputSetButton);
    }
};

TEST_F(SetValueTest, SvFramesFollowTheDecimalPoint) {
    enterSv(123.4);
    EXPECT_EQ(sim->lastRequestHex(), "01 06 00 00 04 D2 0B 57");
    EXPECT_EQ(sim->reg(0x0000), 1234);
    enterSv(-10.0);
    EXPECT_EQ(sim->lastRequestHex(), "01 06 00 00 FF 9C C8 53");

    setDecimal(false);
    SetCtrlAttribute(MainPanel::handle, MainPanel::svEntry, ATTR_PRECISION,
                     1); // keep the tenth typed
    enterSv(123.4);
    EXPECT_EQ(sim->reg(0x0000), 123);
    enterSv(123.6);
    EXPECT_EQ(sim->reg(0x0000), 124);
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 124.0f)
        << "the record holds what the controller holds";
    EXPECT_TRUE(popups.shown.empty());
}

// What the operator types reaches the register rounded to its resolution,
// halves away from zero; no typed digit is dropped and a comma is a point.
TEST_F(SetValueTest, TypedFractionIsRoundedNotDropped) {
    const auto sent = [this] { return sim->lastRequestHex().substr(0, 17); };
    setDecimal(false);
    SetCtrlAttribute(MainPanel::handle, MainPanel::svEntry, ATTR_PRECISION, 0);
    typeAndEnter(MainPanel::handle, MainPanel::svEntry, "123.6");
    EXPECT_EQ(sent(), "01 06 00 00 00 7C"); // 124
    typeAndEnter(MainPanel::handle, MainPanel::svEntry, "122.5");
    EXPECT_EQ(sent(), "01 06 00 00 00 7B"); // 123
    typeAndEnter(MainPanel::handle, MainPanel::svEntry, "-0.5");
    EXPECT_EQ(sent(), "01 06 00 00 FF FF"); // -1
    std::string shown;
    GetCtrlVal(MainPanel::handle, MainPanel::svEntry, &shown);
    EXPECT_EQ(shown, "-1");

    setDecimal(true);
    SetCtrlAttribute(MainPanel::handle, MainPanel::svEntry, ATTR_PRECISION, 1);
    typeAndEnter(MainPanel::handle, MainPanel::svEntry, "123.46");
    EXPECT_EQ(sent(), "01 06 00 00 04 D3"); // 1235
    typeAndEnter(MainPanel::handle, MainPanel::svEntry, "25,5");
    EXPECT_EQ(sent(), "01 06 00 00 00 FF"); // 255 tenths, not 255 degrees
    GetCtrlVal(MainPanel::handle, MainPanel::svEntry, &shown);
    EXPECT_EQ(shown, "25.5");
    EXPECT_TRUE(popups.shown.empty());
}

TEST_F(SetValueTest, RefusedSvShowsParameterErrorAndTheControllersSv) {
    enterSv(100.0);
    enterSv(1300.0); // the Hi limit is 1200.0
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Parameter Error");
    EXPECT_EQ(popups.shown[0].text,
              "The return byte has shown error!\nPlease check your Hi/Lo Limit.");
    EXPECT_EQ(controller().writeEcho()[1], 0x86);
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 100.0f);
    EXPECT_EQ(sim->reg(0x0000), 1000);
    std::string shown;
    GetCtrlVal(MainPanel::handle, MainPanel::svEntry, &shown);
    EXPECT_EQ(shown, "100.0");
}

TEST_F(SetValueTest, UnansweredSvIsReportedOnceAndNeverByAnOldEcho) {
    shortenTimeOut();
    enterSv(1300.0); // leaves an exception echo behind
    popups.shown.clear();
    sim->dropReplies(1);
    enterSv(100.0);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Set Value Not Confirmed");
    EXPECT_EQ(controller().writeEcho()[1], 0) << "the old echo was cleared before the write";

    popups.shown.clear();
    sim->truncateNext(6);
    enterSv(101.0);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Set Value Not Confirmed");
}

// The status line says what the controller confirmed, and never "confirmed"
// of a value it refused or did not answer.
TEST_F(SetValueTest, EveryWriteIsConfirmedOnTheStatusLine) {
    shortenTimeOut();
    enterSv(30.0);
    EXPECT_EQ(lastStatus(), "SV 30.0 confirmed");
    sim->refuseNextWrite(3);
    enterSv(40.0);
    EXPECT_EQ(lastStatus(), "SV 40.0 refused (exception 03); the controller holds 30.0");
    sim->dropReplies(1); // the echo: the value read back tells
    enterSv(41.0);
    EXPECT_EQ(lastStatus(), "SV 41.0 not confirmed (no reply); the controller holds 41.0");

    sendOutput(55.5);
    EXPECT_EQ(lastStatus(), "output 55.5 % set");
    sim->refuseNextWrite(3);
    sendOutput(60.0);
    EXPECT_EQ(lastStatus(), "output 60.0 % refused (exception 03); the controller holds 55.5 %");
}

TEST_F(SetValueTest, OutputLevelFramesAndALostEcho) {
    shortenTimeOut();
    sendOutput(55.5);
    EXPECT_EQ(sim->lastRequestHex(), "01 06 00 02 02 2B 69 75");
    sendOutput(100.0);
    EXPECT_EQ(sim->reg(0x0002), 1000);
    sendOutput(12.25); // 122.5: halves go away from zero
    EXPECT_EQ(sim->reg(0x0002), 123);
    sendOutput(0.0);
    EXPECT_EQ(sim->reg(0x0002), 0);
    EXPECT_TRUE(popups.shown.empty());
    // The controller took it but its echo was lost: the level read back shows.
    sim->dropReplies(1);
    sendOutput(20.0);
    EXPECT_EQ(sim->reg(0x0002), 200);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "No Confirmation");
    double shown = -1;
    GetCtrlVal(MainPanel::handle, MainPanel::outputLevelNumeric, &shown);
    EXPECT_DOUBLE_EQ(shown, 20.0);
}

} // namespace
