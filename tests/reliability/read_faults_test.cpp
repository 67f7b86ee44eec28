// One-register reads and single writes against every fault of the line:
// a faulty reply is never delivered, it is asked for again, and the next
// good exchange succeeds.
#include "fault_matrix.h"
#include "link/line.h"
#include "link/registers.h"
#include "link/retry_policy.h"
#include "link/transfer.h"
#include "monitor/link_fixture.h"

namespace {

constexpr uint16_t kPv = reg::pv, kSv = reg::svRead, kSetValue = reg::setValue;

class ReadFaultTest : public LinkedTest {
  protected:
    // Sweeps that cut replies short wait out one time-out per case; the
    // judgement does not depend on its length, so they use a short one.
    void shortTimeout() { SetComTime(line().port(), 0.2); }
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
            got = pollRegister(controller(), reg::pv);
        });
        EXPECT_EQ(got, value);
        EXPECT_EQ(requests, 2) << "the faulty reply must not have been accepted";
        EXPECT_FALSE(line().busy());
    }
}

TEST_F(ReadFaultTest, EveryBitOfTheReplyAndEveryLengthIsChecked) {
    sim->setReg(kPv, 0x1234);
    for (int byte = 0; byte < 7; ++byte)
        for (int bit = 0; bit < 8; ++bit) {
            SCOPED_TRACE("flip byte " + std::to_string(byte) + " bit " + std::to_string(bit));
            sim->flipBit(byte, bit);
            EXPECT_EQ(
                requestsDuring([&] { EXPECT_EQ(pollRegister(controller(), reg::pv), 0x1234); }), 2);
        }
    shortTimeout();
    for (int length = 0; length < 7; ++length) {
        SCOPED_TRACE("cut to " + std::to_string(length));
        sim->truncateNext(length);
        EXPECT_EQ(requestsDuring([&] { EXPECT_EQ(pollRegister(controller(), reg::pv), 0x1234); }),
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
        for (int i = 0; i < retry::kReadAttempts; ++i)
            fault.inject(*sim);
        EXPECT_FALSE(pollRegister(controller(), reg::pv).has_value());
        EXPECT_EQ(pollRegister(controller(), reg::pv), 321);
    }
}

TEST_F(ReadFaultTest, LateReplyNeverAnswersTheNextRequest) {
    sim->setReg(kPv, 111);
    sim->setReg(kSv, 222);
    sim->delayNext(1.3);
    // One exchange on its own, with no retry to wait out the late answer.
    Frame pv = templates::pvRead;
    completeRequest(pv, 1);
    EXPECT_LT(rawExchange(controller(), pv, 7).count, 7);
    // The PV answer lands while the SV read waits for its own.
    EXPECT_EQ(pollRegister(controller(), reg::svRead), 222);
    EXPECT_EQ(pollRegister(controller(), reg::pv), 111);

    // A write after a late read reply is judged by its own echo.
    sim->delayNext(1.3);
    EXPECT_LT(rawExchange(controller(), pv, 7).count, 7);
    EXPECT_TRUE(writeRegister(controller(), kSetValue, 345).ok());
    EXPECT_EQ(sim->reg(kSetValue), 345);
}

TEST_F(ReadFaultTest, NoiseBetweenRequestsIsDiscarded) {
    sim->setReg(kPv, 77);
    sim->setReg(kSv, 88);
    for (int round = 0; round < 5; ++round) {
        sim->sendNoise(7 + round);
        EXPECT_EQ(pollRegister(controller(), round % 2 ? reg::svRead : reg::pv),
                  round % 2 ? 88 : 77);
    }
    sim->sendNoise(8);
    EXPECT_TRUE(writeRegister(controller(), kSetValue, 12).ok());
}

TEST_F(ReadFaultTest, WriteIsNeverConfirmedByAFaultyEcho) {
    int16_t value = 500;
    for (const LineFault& fault : replyFaults()) {
        SCOPED_TRACE(fault.name);
        if (fault.name == "late reply") continue; // its own test above
        fault.inject(*sim);
        const Outcome outcome = writeRegister(controller(), kSetValue, ++value);
        if (fault.name.rfind("exception", 0) == 0)
            EXPECT_TRUE(outcome.refused());
        else
            EXPECT_FALSE(outcome.ok());
        EXPECT_TRUE(writeRegister(controller(), kSetValue, ++value).ok());
        EXPECT_EQ(int16_t(sim->reg(kSetValue)), value)
            << "only the values sent reach the controller";
    }
    for (int byte = 0; byte < 8; ++byte)
        for (int bit = 0; bit < 8; bit += 3) {
            sim->flipBit(byte, bit);
            EXPECT_FALSE(writeRegister(controller(), kSetValue, 9).ok()) << byte << "/" << bit;
        }
    shortTimeout();
    for (int length = 0; length < 8; ++length) {
        sim->truncateNext(length);
        EXPECT_FALSE(writeRegister(controller(), kSetValue, 10).ok()) << length;
    }
    EXPECT_TRUE(writeRegister(controller(), kSetValue, 11).ok());
}
