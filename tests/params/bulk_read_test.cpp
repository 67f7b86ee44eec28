#include "link/line.h"
#include "mainpanel/bulk_read_view.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/wait_popup.h"
#include "panelkit/panel_table.h"
#include "panelkit/status_message.h"
#include "params/params_state.h"
#include "service/ids/debug_panel.h"
#include "support/controller_fixture.h"

#include <QLabel>

namespace {

class BulkReadTest : public ControllerTest {
  protected:
    static double mainReal(CtrlId c) {
        double v = -999;
        GetCtrlVal(MainPanel::handle, c, &v);
        return v;
    }
    static int mainInt(CtrlId c) {
        int v = -999;
        GetCtrlVal(MainPanel::handle, c, &v);
        return v;
    }
    static double mainAttr(CtrlId c, int attr) {
        double v = -999;
        GetCtrlAttribute(MainPanel::handle, c, attr, &v);
        return v;
    }
    void readAll() { commit(MainPanel::handle, MainPanel::readButton); }
};

} // namespace

TEST_F(BulkReadTest, ConnectionReadsEveryParameterInOrderAndShowsIt) {
    sim->setReg(0x0000, 1234);
    sim->setReg(0x0001, uint16_t(-15));
    sim->setReg(0x0002, 555);
    sim->setReg(0x0004, 800);
    sim->setReg(0x0008, 125);
    sim->setReg(0x000F, 3725);
    sim->setReg(0x001C, 5);
    sim->setReg(0x0020, 1);
    sim->setReg(0x0027, 2);
    sim->setReg(0x0028, 1);
    sim->setReg(0x0023, uint16_t(-500));
    sim->setReg(0x0024, 9000);
    connect(1);

    const auto log = sim->requestLog();
    ASSERT_EQ(log.size(), 27u); // the probe, then one request per parameter
    EXPECT_EQ(log[1], "01 03 00 21 00 01 D4 00");
    EXPECT_EQ(log[3].substr(0, 17), "01 03 00 00 00 01");
    EXPECT_EQ(log[17].substr(0, 17), "01 03 00 03 00 01");
    EXPECT_EQ(log[26].substr(0, 17), "01 03 00 24 00 01");
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_FALSE(waitPopupShown());
    EXPECT_EQ(lastStatus(), "26 parameters read");
    auto* said = panelRoot(MainPanel::handle)->findChild<QLabel*>("actionMessage");
    ASSERT_NE(said, nullptr);
    EXPECT_EQ(said->text(), "26 parameters read") << "shown beside the line's state";

    const ParmRecord& rec = controller().parmRecord;
    EXPECT_EQ(rec.decimalPoint, 1);
    EXPECT_EQ(controller().scale(), Scale::ofDecimalPoint(1));
    EXPECT_FLOAT_EQ(rec.sv, 123.4f);
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::svEntry), 123.4);
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::pvOffsetNumeric), -1.5);
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::outputLevelNumeric), 55.5);
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::alarmSetPointNumeric), 80.0);
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::loLimitNumeric), -50.0);
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::hiLimitNumeric), 900.0);
    EXPECT_EQ(mainInt(MainPanel::alarmDelayMajor), 2);
    EXPECT_EQ(mainInt(MainPanel::alarmDelayMinor), 5);
    EXPECT_EQ(mainInt(MainPanel::softStartMajor), 62);
    EXPECT_EQ(mainInt(MainPanel::softStartMinor), 5);
    EXPECT_EQ(mainInt(MainPanel::sensorRing), 5);
    EXPECT_EQ(mainInt(MainPanel::unitRing), 1);
    EXPECT_EQ(mainInt(MainPanel::eropRing), 2);
    int lock = -1;
    GetCtrlVal(DebugPanel::handle, DebugPanel::lockRing, &lock);
    EXPECT_EQ(lock, 1);
    EXPECT_EQ(mainAttr(MainPanel::svEntry, ATTR_PRECISION), 1);
    EXPECT_EQ(mainAttr(MainPanel::pvDisplay, ATTR_PRECISION), 1);
    EXPECT_EQ(mainAttr(MainPanel::svEntry, ATTR_DIMMED), 0);
    EXPECT_EQ(mainAttr(MainPanel::readButton, ATTR_DIMMED), 0);
}

TEST_F(BulkReadTest, NoDecimalPointShowsWholeUnits) {
    sim->setReg(0x0021, 0);
    sim->setReg(0x0000, 1234);
    connect(1);
    EXPECT_EQ(controller().scale(), Scale{});
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::svEntry), 1234.0);
    EXPECT_EQ(mainAttr(MainPanel::svEntry, ATTR_PRECISION), 0);
    EXPECT_EQ(mainAttr(MainPanel::hiLimitNumeric, ATTR_PRECISION), 0);
}

TEST_F(BulkReadTest, ModeDecidesTheOutputControls) {
    connect(1);
    sim->setReg(0x0003, 0);
    readAll();
    EXPECT_EQ(mainInt(MainPanel::outputIndicator), 0);
    EXPECT_EQ(mainAttr(MainPanel::autoTuneTimer, ATTR_ENABLED), 0);
    EXPECT_EQ(mainAttr(MainPanel::outputSetButton, ATTR_DIMMED), 1);

    sim->setReg(0x0003, 4);
    readAll();
    EXPECT_EQ(mainInt(MainPanel::modeRing), 4);
    EXPECT_EQ(mainInt(MainPanel::outputIndicator), 1);
    EXPECT_EQ(mainAttr(MainPanel::outputSetButton, ATTR_DIMMED), 0);
    EXPECT_EQ(mainAttr(MainPanel::outputLevelNumeric, ATTR_CTRL_MODE), 1);
    EXPECT_EQ(mainAttr(MainPanel::outputLevelNumeric, ATTR_DIMMED), 0) << "Manual takes a level";

    sim->setReg(0x0003, 5); // a running program drives the output, as On does
    readAll();
    EXPECT_EQ(mainInt(MainPanel::modeRing), 5);
    EXPECT_EQ(mainInt(MainPanel::outputIndicator), 1);
    EXPECT_EQ(mainAttr(MainPanel::outputSetButton, ATTR_DIMMED), 1);
    EXPECT_EQ(mainAttr(MainPanel::outputLevelNumeric, ATTR_CTRL_MODE), 0);
}

TEST_F(BulkReadTest, CorruptReplyIsAskedForAgain) {
    connect(1);
    sim->setReg(0x0021, 1);
    sim->setReg(0x0000, 432);
    sim->flipBit(4, 0); // the first reply (decimal point) arrives damaged
    const int before = sim->requestCount();
    readAll();
    EXPECT_EQ(sim->requestCount(), before + 27);
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 43.2f);
}

TEST_F(BulkReadTest, RegisterThatKeepsFailingKeepsItsValueAndIsNamed) {
    connect(1);
    ASSERT_EQ(controller().parmRecord.decimalPoint, 1);
    sim->setReg(0x0021, 0);
    sim->setReg(0x0000, 300);
    // The decimal point is read first; both its tries are refused.
    sim->exceptionNext(4);
    sim->exceptionNext(4);
    popups.shown.clear();
    readAll();
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Parameter Read Error");
    EXPECT_NE(popups.shown[0].text.find("Decimal point (0x0021)"), std::string::npos)
        << popups.shown[0].text;
    EXPECT_NE(popups.shown[0].text.find("previous values"), std::string::npos);
    // The old decimal point still scales what follows; nothing shows a made-up value.
    EXPECT_EQ(controller().parmRecord.decimalPoint, 1);
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 30.0f);
}

TEST_F(BulkReadTest, SilentControllerStopsEarlyWithOneMessage) {
    sim->setReg(0x0000, 777);
    connect(1);
    shortenTimeOut();
    ASSERT_FLOAT_EQ(controller().parmRecord.sv, 77.7f);
    const ParmRecord before = controller().parmRecord;
    sim->dropReplies(1000);
    popups.shown.clear();
    readAll();
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Controller Not Answering");
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, before.sv);
    EXPECT_EQ(controller().parmRecord.decimalPoint, before.decimalPoint);
    EXPECT_DOUBLE_EQ(mainReal(MainPanel::svEntry), 77.7);
    EXPECT_FALSE(waitPopupShown());
}

TEST_F(BulkReadTest, DimmingFollowsTheVariant) {
    sim->setReg(0x1F00, uint16_t('D' << 8 | 1));
    connect(1);
    EXPECT_EQ(mainAttr(MainPanel::softStartUpdateButton, ATTR_DIMMED), 0);
    runOnControlThread([this] { DimmedParmMenuFunction(controller(), 1); });
    EXPECT_EQ(mainAttr(MainPanel::softStartUpdateButton, ATTR_DIMMED), 1);
    EXPECT_EQ(mainAttr(MainPanel::svEntry, ATTR_DIMMED), 1);
    EXPECT_EQ(mainAttr(MainPanel::modelDNote, ATTR_VISIBLE), 0) << "dimmed for no model";

    sim->setReg(0x1F00, uint16_t('@' << 8 | 1));
    connect(1);
    EXPECT_EQ(mainAttr(MainPanel::softStartUpdateButton, ATTR_DIMMED), 1);
    EXPECT_EQ(mainAttr(MainPanel::modelDNote, ATTR_VISIBLE), 1)
        << "the group says why it is dimmed";
}
