// PV and SV reads: signed, scaled by the decimal point, and no value at all
// rather than a made-up one when the controller stays silent.
#include "link/retry_policy.h"
#include "link/transfer.h"
#include "link_fixture.h"
#include "monitor/live_reads.h"

namespace {

class LiveReadsTest : public LinkedTest {
  protected:
    std::optional<float> readPv() {
        std::optional<float> v;
        postTask([&] { v = ReadPVPVOF(controller()); });
        EXPECT_TRUE(waitIdle());
        return v;
    }
};

TEST_F(LiveReadsTest, PvIsSignedAndScaled) {
    struct Case {
        uint16_t raw;
        bool decimal;
        float expected;
    } cases[] = {
        {0x00EB, true, 23.5f},   {0x00EB, false, 235.0f},  {0xFF38, true, -20.0f},
        {0x7FFF, true, 3276.7f}, {0x8000, true, -3276.8f}, {0x8000, false, -32768.0f},
    };
    for (const Case& c : cases) {
        sim->setReg(0x1000, c.raw);
        setDecimal(c.decimal);
        const auto pv = readPv();
        ASSERT_TRUE(pv.has_value()) << std::hex << c.raw;
        EXPECT_FLOAT_EQ(*pv, c.expected) << std::hex << c.raw;
    }
    EXPECT_EQ(sim->lastRequestHex(), "01 03 10 00 00 01 80 CA");
}

TEST_F(LiveReadsTest, SvReadOverwritesTheRecordsSv) {
    controller().parmRecord.sv = 99.0f; // as last typed into the SV entry
    sim->setReg(0x0000, uint16_t(int16_t(-125)));
    std::optional<float> sv;
    runOnControlThread([&] { sv = ReadSVSVOF(controller()); });
    ASSERT_TRUE(sv.has_value());
    EXPECT_FLOAT_EQ(*sv, -12.5f);
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, -12.5f);
    EXPECT_EQ(sim->lastRequestHex().substr(0, 17), "01 03 10 01 00 01");
}

TEST_F(LiveReadsTest, SilenceGivesNoValueAndKeepsSv) {
    shortenTimeOut();
    controller().parmRecord.sv = 42.0f;
    sim->dropReplies(retry::kReadAttempts);
    std::optional<float> sv = 0.0f;
    runOnControlThread([&] { sv = ReadSVSVOF(controller()); });
    EXPECT_FALSE(sv.has_value());
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 42.0f);
    // One corrupt reply is retried and the value still arrives.
    sim->flipBit(4, 0);
    EXPECT_TRUE(readPv().has_value());
}

} // namespace
