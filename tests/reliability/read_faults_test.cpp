// One-register reads and single writes against every fault of the line:
// a faulty reply is never delivered, it is asked for again, and the next
// good exchange succeeds.
#include "fault_matrix.h"
#include "link/register_write.h"
#include "link/transaction.h"
#include "monitor/link_fixture.h"

namespace {

constexpr uint16_t kPv = 0x1000, kSv = 0x1001, kSetValue = 0x0000;

class ReadFaultTest : public LinkedTest {
  protected:
    // Sweeps that cut replies short wait out one time-out per case; the
    // judgement does not depend on its length, so they use a short one.
    void shortTimeout() { SetComTime(kSimPort, 0.2); }
    int requestsDuring(const std::function<void()>& fn) {
        const int before = sim->requestCount();
        fn();
        return sim->requestCount() - before;
    }
};

} // namespace

TEST_F(ReadFaultTest, EveryReplyFaultIsAskedForAgainAndNeverDelivered) {
    int16_t value = 100;
    for (const LineFault& fault : replyFaults()) {
        SCOPED_TRACE(fault.name);
        sim->setReg(kPv, uint16_t(++value));
        std::optional<int16_t> got;
        const int requests = requestsDuring([&] {
            fault.inject(*sim);
            got = validatedRead(templates::pvRead, 1);
        });
        EXPECT_EQ(got, value);
        EXPECT_EQ(requests, 2) << "the faulty reply must not have been accepted";
        EXPECT_EQ(gTx.comBusy.load(), 0);
    }
}

TEST_F(ReadFaultTest, EveryBitOfTheReplyAndEveryLengthIsChecked) {
    sim->setReg(kPv, 0x1234);
    for (int byte = 0; byte < 7; ++byte)
        for (int bit = 0; bit < 8; ++bit) {
            SCOPED_TRACE("flip byte " + std::to_string(byte) + " bit " + std::to_string(bit));
            sim->flipBit(byte, bit);
            EXPECT_EQ(
                requestsDuring([&] { EXPECT_EQ(validatedRead(templates::pvRead, 1), 0x1234); }), 2);
        }
    shortTimeout();
    for (int length = 0; length < 7; ++length) {
        SCOPED_TRACE("cut to " + std::to_string(length));
        sim->truncateNext(length);
        EXPECT_EQ(requestsDuring([&] { EXPECT_EQ(validatedRead(templates::pvRead, 1), 0x1234); }),
                  2);
    }
}

TEST_F(ReadFaultTest, GivingUpDeliversNothingAndTheNextReadWorks) {
    sim->setReg(kPv, 321);
    for (const LineFault& fault : replyFaults()) {
        SCOPED_TRACE(fault.name);
        // A late answer carries the right value, and so does the whole reply
        // a retry finds behind the noise; neither is a reason to give up.
        if (fault.name == "late reply" || fault.name == "noise before the reply") continue;
        for (int i = 0; i < kValidatedReadAttempts; ++i)
            fault.inject(*sim);
        EXPECT_FALSE(validatedRead(templates::pvRead, 1).has_value());
        EXPECT_EQ(validatedRead(templates::pvRead, 1), 321);
    }
}

TEST_F(ReadFaultTest, LateReplyNeverAnswersTheNextRequest) {
    sim->setReg(kPv, 111);
    sim->setReg(kSv, 222);
    sim->delayNext(1.3);
    Frame pv = templates::pvRead;
    EXPECT_LT(exchange(pv, 1, 7).count, 7);
    // The PV answer lands while the SV read waits for its own.
    EXPECT_EQ(validatedRead(templates::svRead, 1), 222);
    EXPECT_EQ(validatedRead(templates::pvRead, 1), 111);

    // A write after a late read reply is judged by its own echo.
    sim->delayNext(1.3);
    EXPECT_LT(exchange(pv, 1, 7).count, 7);
    EXPECT_EQ(writeRegister(kSetValue, 345), WriteOutcome::Confirmed);
    EXPECT_EQ(sim->reg(kSetValue), 345);
}

TEST_F(ReadFaultTest, NoiseBetweenRequestsIsDiscarded) {
    sim->setReg(kPv, 77);
    sim->setReg(kSv, 88);
    for (int round = 0; round < 5; ++round) {
        sim->sendNoise(7 + round);
        EXPECT_EQ(validatedRead(round % 2 ? templates::svRead : templates::pvRead, 1),
                  round % 2 ? 88 : 77);
    }
    sim->sendNoise(8);
    EXPECT_EQ(writeRegister(kSetValue, 12), WriteOutcome::Confirmed);
}

TEST_F(ReadFaultTest, WriteIsNeverConfirmedByAFaultyEcho) {
    int16_t value = 500;
    for (const LineFault& fault : replyFaults()) {
        SCOPED_TRACE(fault.name);
        if (fault.name == "late reply") continue; // its own test above
        fault.inject(*sim);
        const WriteOutcome outcome = writeRegister(kSetValue, ++value);
        if (fault.name.rfind("exception", 0) == 0)
            EXPECT_EQ(outcome, WriteOutcome::Refused);
        else
            EXPECT_NE(outcome, WriteOutcome::Confirmed);
        EXPECT_EQ(writeRegister(kSetValue, ++value), WriteOutcome::Confirmed);
        EXPECT_EQ(int16_t(sim->reg(kSetValue)), value)
            << "only the values sent reach the controller";
    }
    for (int byte = 0; byte < 8; ++byte)
        for (int bit = 0; bit < 8; bit += 3) {
            sim->flipBit(byte, bit);
            EXPECT_NE(writeRegister(kSetValue, 9), WriteOutcome::Confirmed) << byte << "/" << bit;
        }
    shortTimeout();
    for (int length = 0; length < 8; ++length) {
        sim->truncateNext(length);
        EXPECT_NE(writeRegister(kSetValue, 10), WriteOutcome::Confirmed) << length;
    }
    EXPECT_EQ(writeRegister(kSetValue, 11), WriteOutcome::Confirmed);
}
