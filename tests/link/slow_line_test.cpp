// A slow line or gateway answers every request in order, each after a delay
// of its own, some of them past the time-out. Whatever a transfer returns
// is what the controller holds, or the transfer says it failed: a late
// reply is never taken for another request's answer.
#include "link/line.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "params/bulk_read.h"
#include "params/register_map.h"
#include "pid/pid_transfer.h"
#include "support/controller_fixture.h"
#include "support/fake_line.h"

#include <memory>
#include <random>

namespace {

class SlowLine : public ControllerTest {
  protected:
    void SetUp() override {
        fake = std::make_unique<FakeLine>();
        // Every register a value of its own, so an answer taken for another
        // register's shows. The decimal point is on: 1.
        uint16_t value = 300;
        for (uint16_t r : bulkReadOrder())
            fake->setReg(r, value += 7);
        for (int k = 0; k < reg::pidCount; ++k)
            fake->setReg(uint16_t(reg::pidFirst + k), value += 7);
        fake->setReg(reg::decimalPoint, 1);
        fake->setReg(reg::pv, 238);
        fake->setReg(reg::svRead, 250);
        startSimulator = false;
        ControllerTest::SetUp();
        line().setComPort(kSimPort);
        ASSERT_EQ(line().open(), 0);
    }
    void TearDown() override {
        ControllerTest::TearDown();
        fake.reset();
    }
    // Each reply 0 to 1.15 s after its request, against the 1 s time-out.
    void answerLate(unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> delay(0.0, 1.15);
        for (int i = 0; i < 2000; ++i)
            fake->late(delay(random));
    }

    std::unique_ptr<FakeLine> fake;
};

TEST_F(SlowLine, EveryValueATransferReturnsIsTheControllers) {
    int values = 0;
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        answerLate(seed);
        // The backup's reads: every parameter, then the PID block.
        readParameters(controller(), [&](uint16_t r, uint16_t word) {
            EXPECT_EQ(word, fake->reg(r)) << "register " << r;
            ++values;
        });
        if (const Outcome pid = readPidBlock(controller()); pid.ok()) {
            for (int k = 0; k < reg::pidCount; ++k)
                EXPECT_EQ(pid.words[std::size_t(k)], fake->reg(uint16_t(reg::pidFirst + k)));
            values += reg::pidCount;
        }
        // The watch's samples: SV, then PV.
        for (int sample = 0; sample < 20; ++sample) {
            const Outcome sv = pollRegisterOutcome(controller(), reg::svRead);
            const Outcome pv = pollRegisterOutcome(controller(), reg::pv);
            if (sv.ok()) {
                EXPECT_EQ(sv.value(), 250) << "sample " << sample;
            }
            if (pv.ok()) {
                EXPECT_EQ(pv.value(), 238) << "sample " << sample;
            }
            values += sv.ok() + pv.ok();
        }
    }
    // Most requests are answered in time: the check above saw real values.
    EXPECT_GT(values, 150);
}

} // namespace
