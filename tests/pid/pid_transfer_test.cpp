#include "mainpanel/decimal_point.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/wait_popup.h"
#include "params/params_state.h"
#include "pid/panel/ids/pid_panel.h"
#include "pid/panel/pid_panel.h"
#include "pid/pid_block.h"
#include "support/controller_fixture.h"

#include <algorithm>

namespace {

namespace P = PidPanel;

double entry(CtrlId c) {
    double v = -1;
    GetCtrlVal(PidPanel::handle, c, &v);
    return v;
}

// Register values a tuned controller might hold, in register order 0x11..0x1B.
constexpr uint16_t kTuned[11] = {123, 240, 60, 1000, 5, 55, 15, 20, uint16_t(-30), 7, 1};

class PidTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        connect(1);
        setDecimalPoint(true);
        for (int k = 0; k < 11; ++k)
            sim->setReg(uint16_t(0x11 + k), kTuned[k]);
        popups.shown.clear();
        sim->clearRequestLog();
    }
    void setDecimalPoint(bool on) {
        runOnControlThread([this, on] {
            controller().parmRecord.decimalPoint = on ? 1 : 0;
            AdjDecimal(controller());
        });
    }
    std::vector<std::string> requests() const { return sim->requestLog(); }
    std::vector<uint16_t> controllerBlock() const {
        std::vector<uint16_t> block;
        for (int k = 0; k < 11; ++k)
            block.push_back(sim->reg(uint16_t(0x11 + k)));
        return block;
    }
    std::vector<uint16_t> tuned() const { return {std::begin(kTuned), std::end(kTuned)}; }
    const PopupRecord* lastMessage() const {
        return popups.shown.empty() ? nullptr : &popups.shown.back();
    }
};

} // namespace

TEST_F(PidTest, OpeningReadsTheBlockInOneRequestAndDecodesEachRegister) {
    commit(MainPanel::handle, "pidButton");
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0].substr(0, 17), "01 03 00 11 00 0B");
    const ParmRecord& r = controller().parmRecord;
    EXPECT_FLOAT_EQ(r.pid11, 12.3f);
    EXPECT_EQ(r.pid12, 240);
    EXPECT_FLOAT_EQ(r.pid14, 100.0f);
    EXPECT_FLOAT_EQ(r.pid16, 5.5f);
    EXPECT_EQ(r.cycleTime, 15);
    EXPECT_FLOAT_EQ(r.pid19, -3.0f);
    EXPECT_EQ(r.pid1B, 1);
    EXPECT_DOUBLE_EQ(entry(P::pid11Numeric), 12.3);
    EXPECT_DOUBLE_EQ(entry(P::pid16Numeric), 5.5);
    EXPECT_DOUBLE_EQ(entry(P::pid19Numeric), -3.0);
    EXPECT_FALSE(waitPopupShown());
    EXPECT_TRUE(popups.shown.empty());

    sim->setReg(0x11, 55);
    sim->setReg(0x16, 55);
    setDecimalPoint(false);
    commit(PidPanel::handle, P::readButton);
    EXPECT_FLOAT_EQ(r.pid11, 5.5f) << "tenths do not follow the decimal point";
    EXPECT_FLOAT_EQ(r.pid16, 55.0f);
    EXPECT_DOUBLE_EQ(entry(P::pid16Numeric), 55.0);
}

TEST_F(PidTest, BadBlockIsAskedForOnceMoreThenKeepsThePreviousValues) {
    shortenTimeOut();
    commit(PidPanel::handle, P::readButton);
    ASSERT_FLOAT_EQ(controller().parmRecord.pid11, 12.3f);

    // One bad reply of each kind is cured by the second request.
    sim->setReg(0x11, 200);
    for (auto fault : {+[](sim::SimController& s) { s.flipBit(10, 3); },
                       +[](sim::SimController& s) { s.wrongSlaveNext(5); },
                       +[](sim::SimController& s) { s.truncateNext(20); },
                       +[](sim::SimController& s) { s.dropReplies(1); }}) {
        controller().parmRecord.pid11 = 0;
        sim->clearRequestLog();
        fault(*sim);
        commit(PidPanel::handle, P::readButton);
        EXPECT_EQ(requests().size(), 2u);
        EXPECT_FLOAT_EQ(controller().parmRecord.pid11, 20.0f);
    }
    EXPECT_TRUE(popups.shown.empty());

    // Two bad replies: nothing changes, and one message says so.
    sim->setReg(0x11, 999);
    sim->dropReplies(2);
    commit(PidPanel::handle, P::readButton);
    EXPECT_FLOAT_EQ(controller().parmRecord.pid11, 20.0f);
    EXPECT_DOUBLE_EQ(entry(P::pid11Numeric), 20.0);
    EXPECT_DOUBLE_EQ(entry(P::pid16Numeric), 5.5) << "no zeros stand in for values";
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "PID Read Error");
    EXPECT_FALSE(waitPopupShown());
}

TEST_F(PidTest, WriteSendsThePanelEntriesRegisterByRegister) {
    commit(PidPanel::handle, P::readButton);
    SetCtrlVal(PidPanel::handle, P::pid11Numeric, 7.5);
    SetCtrlVal(PidPanel::handle, P::pid16Numeric, -12.5);
    SetCtrlVal(PidPanel::handle, P::cycleTimeNumeric, 30);
    sim->clearRequestLog();
    commit(PidPanel::handle, P::writeButton);

    const auto log = requests();
    ASSERT_EQ(log.size(), 11u);
    for (int k = 0; k < 11; ++k) {
        char head[16];
        std::snprintf(head, sizeof head, "01 06 00 %02X", 0x11 + k);
        EXPECT_EQ(log[k].substr(0, 11), head);
    }
    EXPECT_EQ(sim->reg(0x11), 75);
    EXPECT_EQ(int16_t(sim->reg(0x16)), -125) << "scaled by the decimal point";
    EXPECT_EQ(sim->reg(0x17), 30);
    EXPECT_EQ(sim->reg(0x12), 240);
    EXPECT_FLOAT_EQ(controller().parmRecord.pid11, 7.5f) << "the entries become the record";
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_FALSE(waitPopupShown());
}

TEST_F(PidTest, WriteNamesRefusedRegistersAndStopsWhenTheControllerFallsSilent) {
    shortenTimeOut();
    commit(PidPanel::handle, P::readButton);
    sim->exceptionNext(3);
    commit(PidPanel::handle, P::writeButton);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "PID Write Error");
    EXPECT_NE(popups.shown[0].text.find("P band (0x11): refused (exception 03)"),
              std::string::npos);
    EXPECT_EQ(popups.shown[0].text.find("0x12"), std::string::npos) << "only failures named";

    popups.shown.clear();
    sim->clearRequestLog();
    sim->dropReplies(3);
    SetCtrlVal(PidPanel::handle, P::pid1BNumeric, 9);
    commit(PidPanel::handle, P::writeButton);
    EXPECT_EQ(requests().size(), 3u) << "three silent requests end the write";
    EXPECT_EQ(sim->reg(0x1B), 1);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_NE(popups.shown[0].text.find("stopped answering"), std::string::npos);
    EXPECT_NE(popups.shown[0].text.find("whole number (0x1B)"), std::string::npos);
}

TEST_F(PidTest, ValueTooLargeForItsRegisterSendsNothing) {
    // The record can hold what no panel entry allows, from a parameter file say.
    runOnControlThread([this] {
        controller().parmRecord.pid16 = 5000.0f; // 50000 with the decimal point on
        WritePIDParmsToMeter(controller());
    });
    EXPECT_TRUE(requests().empty());
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "PID Write Error");
    EXPECT_NE(popups.shown[0].text.find("temperature (0x16)"), std::string::npos);
    EXPECT_FALSE(waitPopupShown());
}

TEST_F(PidTest, SaveWritesTheRecordNotThePanel) {
    commit(PidPanel::handle, P::readButton);
    SetCtrlVal(PidPanel::handle, P::pid11Numeric, 99.9); // typed, never written
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/tuning.prm"});
    commit(PidPanel::handle, P::saveButton);
    EXPECT_EQ(readFile("tuning.prm"),
              "  12.30 240 60  100.00    0.50    5.50 15    2.00   -3.00    0.70 1");
    EXPECT_TRUE(requests().size() == 1u) << "saving does not talk to the controller";

    // A save that cannot happen is reported, and a cancel writes nothing.
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/no/such/dir/tuning.prm"});
    commit(PidPanel::handle, P::saveButton);
    ASSERT_EQ(popups.shown.size(), 3u); // two file dialogs, one message
    EXPECT_EQ(popups.shown.back().title, "PID File Error");
    commit(PidPanel::handle, P::saveButton);
    EXPECT_EQ(popups.shown.back().kind, "file");
}

TEST_F(PidTest, LoadWritesTheFileThenShowsWhatTheControllerReports) {
    writeFile("other.prm", "   1.50 100 20    2.50    0.00   -4.50 10    0.00    1.00    2.00 3");
    popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/other.prm"});
    commit(PidPanel::handle, P::loadButton);
    const auto log = requests();
    ASSERT_EQ(log.size(), 12u);
    EXPECT_EQ(log[0].substr(0, 5), "01 06");
    EXPECT_EQ(log[11].substr(0, 17), "01 03 00 11 00 0B") << "read back after the write";
    EXPECT_EQ(controllerBlock(),
              (std::vector<uint16_t>{15, 100, 20, 25, 0, uint16_t(-45), 10, 0, 10, 20, 3}));
    EXPECT_DOUBLE_EQ(entry(P::pid16Numeric), -4.5);
    EXPECT_EQ(popups.shown.size(), 1u) << "only the file dialog";
}

TEST_F(PidTest, CancelledOrRefusedLoadSendsNothing) {
    commit(MainPanel::handle, "pidButton");
    sim->clearRequestLog();
    commit(PidPanel::handle, P::loadButton); // no scripted file: the dialog is cancelled
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(controllerBlock(), tuned());

    writeFile("params.prm", "  25.00 100.00 1 2 3 4 5 6 7 8 9 10 11");
    writeFile("huge.prm", "1 2 3 4 5 5000 7 8 9 10 11"); // 0x16: 50000 with the point on
    for (const char* name : {"params.prm", "huge.prm", "missing.prm"}) {
        popups.shown.clear();
        popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/" + name});
        commit(PidPanel::handle, P::loadButton);
        EXPECT_TRUE(requests().empty()) << name;
        ASSERT_EQ(popups.shown.size(), 2u) << name;
        EXPECT_EQ(popups.shown[1].title, "PID File Error");
    }
    EXPECT_FLOAT_EQ(controller().parmRecord.pid11, 12.3f) << "a refused file leaves the record";
    EXPECT_EQ(controllerBlock(), tuned());
}

TEST_F(PidTest, SavedFileRoundTripsThroughTheController) {
    commit(PidPanel::handle, P::readButton);
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/keep.prm"});
    commit(PidPanel::handle, P::saveButton);

    for (int k = 0; k < 11; ++k)
        sim->setReg(uint16_t(0x11 + k), 0);
    popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/keep.prm"});
    commit(PidPanel::handle, P::loadButton);
    EXPECT_EQ(controllerBlock(), tuned());
    EXPECT_DOUBLE_EQ(entry(P::pid11Numeric), 12.3);
}
