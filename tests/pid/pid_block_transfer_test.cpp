// The PID block's transfers alone, with no panel loaded.
#include "link/registers.h"
#include "link/retry_policy.h"
#include "params/params_state.h"
#include "pid/pid_block.h"
#include "pid/pid_transfer.h"
#include "support/line_session.h"

namespace {

class PidBlockTransfer : public LineSessionTest {
  protected:
    void SetUp() override {
        LineSessionTest::SetUp();
        setDecimalPoint(true);
        const uint16_t tuned[11] = {123, 240, 60, 1000, 5, 55, 15, 20, uint16_t(-30), 7, 1};
        for (int k = 0; k < 11; ++k)
            line.setReg(uint16_t(reg::pidFirst + k), tuned[k]);
    }
};

TEST_F(PidBlockTransfer, ReadTakesTheBlockInOneRequest) {
    ASSERT_TRUE(readPidBlock(controller).ok());
    EXPECT_EQ(line.requests(), std::vector<std::string>{"01 03 00 11 00 0B 54 08"});
    const ParmRecord& r = controller.parmRecord;
    EXPECT_FLOAT_EQ(r.pid11, 12.3f);
    EXPECT_EQ(r.pid12, 240);
    EXPECT_FLOAT_EQ(r.pid16, 5.5f);
    EXPECT_EQ(r.cycleTime, 15);
    EXPECT_FLOAT_EQ(r.pid19, -3.0f);

    // No good reply on any try: the record keeps what it held.
    line.clearLog();
    for (int i = 0; i < retry::kReadAttempts; ++i)
        line.wrongSlave(5);
    controller.parmRecord.pid11 = 1.0f;
    EXPECT_FALSE(readPidBlock(controller).ok());
    EXPECT_FLOAT_EQ(controller.parmRecord.pid11, 1.0f);
    EXPECT_EQ(line.requests().size(), std::size_t(retry::kReadAttempts));
}

TEST_F(PidBlockTransfer, WriteSendsEachRegisterUnlessAValueDoesNotFit) {
    ASSERT_TRUE(readPidBlock(controller).ok());
    line.clearLog();
    controller.parmRecord.pid11 = 7.5f;
    PidWriteResult w = writePidBlock(controller);
    EXPECT_TRUE(w.failed.empty());
    EXPECT_EQ(w.sent, 11u);
    ASSERT_EQ(line.requests().size(), 11u);
    EXPECT_EQ(line.requests()[0], "01 06 00 11 00 4B 99 F8");
    EXPECT_EQ(line.reg(reg::pBand), 75);

    line.clearLog();
    controller.parmRecord.pid16 = 5000.0f; // 50000 in its register
    w = writePidBlock(controller);
    EXPECT_EQ(w.misfits, "temperature (0x16)");
    EXPECT_EQ(w.sent, 0u);
    EXPECT_TRUE(line.requests().empty());
}

// The register map's range holds for the block however it was filled: a
// negative P band or a cycle time past 60 s is never sent.
TEST_F(PidBlockTransfer, ValuesOutsideTheirFieldsAreNotSent) {
    ASSERT_TRUE(readPidBlock(controller).ok());
    line.clearLog();
    controller.parmRecord.pid11 = -5.0f;
    controller.parmRecord.cycleTime = 9999;
    const PidWriteResult w = writePidBlock(controller);
    EXPECT_EQ(w.misfits, "P band (0x11), cycle time (0x17)");
    EXPECT_EQ(w.sent, 0u);
    EXPECT_TRUE(line.requests().empty());
}

TEST_F(PidBlockTransfer, WriteNamesRefusalsAndStopsWhenTheControllerFallsSilent) {
    line.exception(3);
    PidWriteResult w = writePidBlock(controller);
    ASSERT_EQ(w.failed.size(), 1u);
    EXPECT_EQ(w.failed[0].first, 0u);
    EXPECT_EQ(w.failed[0].second.exceptionCode, 3);
    EXPECT_EQ(w.sent, 11u);

    line.clearLog();
    line.silent(1000);
    w = writePidBlock(controller);
    EXPECT_EQ(w.sent, std::size_t(retry::kSilentExchanges));
    EXPECT_EQ(line.requests().size(), std::size_t(retry::kSilentExchanges));
}

} // namespace
