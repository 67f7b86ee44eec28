// The parameter read and the restore as transfers alone: no panel is loaded,
// as when a command line backs up or restores a controller.
#include "link/registers.h"
#include "link/retry_policy.h"
#include "params/bulk_read.h"
#include "params/bulk_write.h"
#include "params/params_state.h"
#include "support/line_session.h"

namespace {

class ParameterTransfer : public LineSessionTest {
  protected:
    void SetUp() override {
        LineSessionTest::SetUp();
        line.setReg(reg::decimalPoint, 1);
        line.setReg(reg::setValue, 1234);
        line.setReg(reg::pvOffset, uint16_t(-15));
        line.setReg(reg::outputLevel, 555);
        line.setReg(reg::controlMode, 4);
        line.setReg(reg::a1DelayTime, 125);
    }
};

TEST_F(ParameterTransfer, ReadFillsTheRecordInTheControllersOrder) {
    std::vector<std::pair<uint16_t, int>> shown; // register, digits when it came
    const BulkReadResult r = readParameters(controller, [&](uint16_t reg, uint16_t) {
        shown.emplace_back(reg, controller.scale().digits());
    });
    const auto sent = line.requests();
    ASSERT_EQ(sent.size(), 26u);
    EXPECT_EQ(sent[0], "01 03 00 21 00 01 D4 00"); // the decimal point first
    EXPECT_EQ(sent[1], "01 03 00 26 00 01 65 C1");
    EXPECT_EQ(sent[2], "01 03 00 00 00 01 84 0A");
    EXPECT_EQ(r.registersRead, 26);
    EXPECT_TRUE(r.failed.empty());
    EXPECT_FALSE(r.silent);
    EXPECT_EQ(r.mode, ControlMode::manual);
    ASSERT_EQ(shown.size(), 26u);
    EXPECT_EQ(shown[0].second, 1) << "the scale applies from the decimal point on";
    const ParmRecord& rec = controller.parmRecord;
    EXPECT_FLOAT_EQ(rec.sv, 123.4f);
    EXPECT_FLOAT_EQ(rec.pvOffset, -1.5f);
    EXPECT_FLOAT_EQ(rec.outputLevel, 55.5f);
    EXPECT_EQ(rec.a1DelayTime, 125);
    // Prepared once (0.02 s), then 26 exchanges of 0.03 s back to back.
    EXPECT_NEAR(line.seconds(), 0.02 + 26 * 0.03, 1e-9);
}

TEST_F(ParameterTransfer, ARegisterThatKeepsFailingIsNamedAndKeepsItsValue) {
    controller.parmRecord.sv = 77.0f;
    // The set value is the third register read; both its tries are refused.
    line.normal(2);
    line.exception(2);
    line.exception(2);
    const BulkReadResult r = readParameters(controller);
    EXPECT_EQ(r.failed, std::vector<uint16_t>{reg::setValue});
    EXPECT_EQ(r.registersRead, 25);
    EXPECT_FALSE(r.silent);
    EXPECT_FLOAT_EQ(controller.parmRecord.sv, 77.0f);
    EXPECT_EQ(line.requests().size(), 27u);
}

TEST_F(ParameterTransfer, ASilentControllerEndsTheReadWithinSeconds) {
    controller.parmRecord.sv = 77.0f;
    line.silent(1000);
    const BulkReadResult r = readParameters(controller);
    EXPECT_TRUE(r.silent);
    EXPECT_EQ(r.registersRead, 0);
    EXPECT_EQ(line.requests().size(), std::size_t(retry::kSilentExchanges));
    EXPECT_FLOAT_EQ(controller.parmRecord.sv, 77.0f);
    EXPECT_LT(line.seconds(), 5.0);
}

TEST_F(ParameterTransfer, RestoreSendsTheRecordDecimalPointFirst) {
    ParmRecord& rec = controller.parmRecord;
    rec.decimalPoint = 1;
    rec.sv = 30.0f;
    rec.pid11 = 7.5f;
    const BulkWriteResult r = WriteParmsToMeter(controller);
    EXPECT_TRUE(r.decimalPoint.ok());
    EXPECT_FALSE(r.silent);
    EXPECT_TRUE(r.refused.empty());
    EXPECT_TRUE(r.unconfirmed.empty());
    const auto sent = line.requests();
    ASSERT_EQ(sent.size(), 26u);
    EXPECT_EQ(sent[0], "01 06 00 21 00 01 18 00");
    EXPECT_EQ(sent[1], "01 06 00 26 00 00 68 01");
    EXPECT_EQ(line.reg(reg::setValue), 300) << "scaled by the decimal point just sent";
    EXPECT_EQ(line.reg(reg::pBand), 75);
    EXPECT_EQ(controller.scale(), Scale::ofDecimalPoint(1));
}

TEST_F(ParameterTransfer, RestoreStopsAtADecimalPointNotTakenOrASilentController) {
    controller.parmRecord.decimalPoint = 1;
    line.exception(3);
    BulkWriteResult r = WriteParmsToMeter(controller);
    EXPECT_TRUE(r.decimalPoint.refused());
    EXPECT_EQ(r.decimalPoint.exceptionCode, 3);
    EXPECT_EQ(line.requests().size(), 1u) << "no scaled value follows a point not taken";
    EXPECT_EQ(controller.scale(), Scale{}) << "the scale stays the controller's";

    // Silent from the start: the decimal point is not confirmed either.
    line.clearLog();
    line.silent();
    r = WriteParmsToMeter(controller);
    EXPECT_EQ(r.decimalPoint.fault, Fault::noReply);
    EXPECT_EQ(line.requests().size(), 1u);

    // Silent once the point is taken: three registers unanswered end it.
    line.clearLog();
    line.normal(1);
    line.silent(1000);
    r = WriteParmsToMeter(controller);
    EXPECT_TRUE(r.decimalPoint.ok());
    EXPECT_TRUE(r.silent);
    EXPECT_EQ(line.requests().size(), std::size_t(1 + retry::kSilentExchanges));
    EXPECT_EQ(r.unconfirmed.size(), std::size_t(retry::kSilentExchanges));
    // Three time-outs, each unanswered register held until its echo can no
    // longer come, and first the point's own echo, which may have gone to
    // the unanswered point before it.
    EXPECT_LT(line.seconds(), 7.5);
}

} // namespace
