// The step program's transfers and the mode polls alone, with no panel loaded.
#include "link/registers.h"
#include "link/retry_policy.h"
#include "program/mode_polls.h"
#include "program/program_transfer.h"
#include "support/line_session.h"

namespace {

class ProgramTransfer : public LineSessionTest {
  protected:
    void SetUp() override {
        LineSessionTest::SetUp();
        setDecimalPoint(true);
    }
};

TEST_F(ProgramTransfer, ReadTakesEachStepInOneRequestThenTheBand) {
    line.setReg(reg::band, 55);
    line.setReg(reg::firstStep, 40000);              // step 0 time 1
    line.setReg(reg::firstStep + 1, uint16_t(-200)); // step 0 set value
    line.setReg(reg::firstStep + 3, 0x010A);         // action with a stray high byte
    line.setReg(reg::firstStep + 4, 9999);
    const StepProgramRead r = readStepProgram(controller);
    const auto sent = line.requests();
    ASSERT_EQ(sent.size(), 9u);
    EXPECT_EQ(sent[0], "01 03 00 33 00 05 75 C6");
    EXPECT_EQ(sent[8], "01 03 00 32 00 01 25 C5");
    ASSERT_TRUE(r.steps[0].has_value());
    EXPECT_EQ(r.steps[0]->time1, 40000);
    EXPECT_DOUBLE_EQ(r.steps[0]->stepSv, -20.0);
    EXPECT_EQ(r.steps[0]->action, 10);
    EXPECT_EQ(r.steps[0]->loopCnt, 9999);
    EXPECT_EQ(r.band, 5.5);
    EXPECT_FALSE(r.silent);
}

TEST_F(ProgramTransfer, AStepThatCannotBeReadIsLeftOutAndSilenceEndsTheRead) {
    for (int i = 0; i < retry::kReadAttempts; ++i)
        line.flipBit(5, 0);
    StepProgramRead r = readStepProgram(controller);
    EXPECT_FALSE(r.steps[0].has_value());
    EXPECT_TRUE(r.steps[1].has_value());
    EXPECT_TRUE(r.band.has_value());

    line.clearLog();
    line.silent(1000);
    r = readStepProgram(controller);
    EXPECT_TRUE(r.silent);
    EXPECT_EQ(line.requests().size(), std::size_t(retry::kSilentExchanges));
}

TEST_F(ProgramTransfer, WriteSendsFortyOneRegistersBandLast) {
    StepProgram program;
    program.steps[0] = {10.0, 10, 20, 10, 0};
    program.band = 2.5;
    line.exception(2);
    const StepProgramWrite w = writeStepProgram(controller, program);
    const auto sent = line.requests();
    ASSERT_EQ(sent.size(), 41u);
    EXPECT_EQ(sent[0], "01 06 00 33 00 0A F9 C2");
    EXPECT_EQ(w.refused, std::vector<uint16_t>{reg::firstStep});
    EXPECT_EQ(stepRegisterName(w.refused[0]), "0x0033 (step 0 time 1)");
    EXPECT_EQ(line.reg(reg::firstStep + 1), 100);
    EXPECT_EQ(line.reg(reg::band), 25);
    EXPECT_FALSE(w.silent);
}

TEST_F(ProgramTransfer, PollsTellTheStateOnlyFromAGoodReply) {
    line.setReg(reg::status, 0x042D); // running, position 45
    auto status = pollRunStatus(controller, 16);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->running);
    EXPECT_EQ(status->segment, 3);
    EXPECT_EQ(line.requests().back(), "01 03 10 03 00 01 70 CA");

    line.setReg(reg::controlMode, 2);
    EXPECT_EQ(pollTuneEnd(controller), std::nullopt) << "still tuning";
    EXPECT_EQ(line.requests().back(), "01 03 00 03 00 02 34 0B");
    line.setReg(reg::controlMode, 1);
    EXPECT_EQ(pollTuneEnd(controller), ControlMode::on);

    // Nothing usable on every try: the state is unknown, not Off.
    line.setReg(reg::controlMode, 0);
    for (int i = 0; i < retry::kReadAttempts; ++i)
        line.cut(3);
    EXPECT_EQ(pollTuneEnd(controller), std::nullopt);
    for (int i = 0; i < retry::kReadAttempts; ++i)
        line.silent();
    EXPECT_EQ(pollRunStatus(controller, 16), std::nullopt);
    EXPECT_EQ(readControlMode(controller), ControlMode::off);
}

} // namespace
