#include "link/link_state.h"
#include "link/transaction.h"
#include "runtime/serial_service.h"
#include "support/controller_fixture.h"

#include <chrono>
#include <future>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

class TransactionTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        gLink.comPort = kSimPort;
        ASSERT_EQ(OpenComConfig(kSimPort, "", 19200, 0, 8, 2, 255, 255), 0);
        SetComTime(kSimPort, 1.0);
        // Off at ambient temperature: PV holds still while the tests read it.
        sim->setReg(0x0003, 0);
        sim->setReg(0x1000, 235);
    }
};

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

} // namespace

TEST_F(TransactionTest, ValidatedReadRetriesBadRepliesWithTheSameRequest) {
    EXPECT_EQ(validatedRead(templates::pvRead, 1), 235);
    EXPECT_EQ(sim->requestCount(), 1);

    sim->flipBit(4, 3);
    EXPECT_EQ(validatedRead(templates::pvRead, 1), 235);
    EXPECT_EQ(sim->requestCount(), 3);
    EXPECT_EQ(sim->lastRequestHex(), "01 03 10 00 00 01 80 CA");

    sim->truncateNext(6); // six correct bytes are still not a reply
    EXPECT_EQ(validatedRead(templates::pvRead, 1), 235);
    EXPECT_EQ(sim->requestCount(), 5);
    EXPECT_EQ(gTx.comBusy.load(), 0);
}

TEST_F(TransactionTest, ValidatedReadGivesUpAndReleasesTheGuard) {
    // Damaged replies are asked for up to the attempt limit...
    for (int i = 0; i < kValidatedReadAttempts; ++i) sim->flipBit(3, i);
    EXPECT_FALSE(validatedRead(templates::pvRead, 1).has_value());
    EXPECT_EQ(sim->requestCount(), kValidatedReadAttempts);
    EXPECT_EQ(gTx.comBusy.load(), 0);
    // ...but a controller that stays silent is given up on sooner.
    sim->dropReplies(kSilentAttemptsToGiveUp);
    const auto start = Clock::now();
    EXPECT_FALSE(validatedRead(templates::pvRead, 1).has_value());
    EXPECT_EQ(sim->requestCount(), kValidatedReadAttempts + kSilentAttemptsToGiveUp);
    EXPECT_LT(secondsSince(start), kSilentAttemptsToGiveUp * 1.1 + 0.3);
    EXPECT_EQ(gTx.comBusy.load(), 0);
    EXPECT_EQ(validatedRead(templates::pvRead, 1), 235); // the next good exchange works
}

TEST_F(TransactionTest, LateReplyIsNeverTakenForTheNextOne) {
    sim->setReg(0x1001, 250);
    sim->delayNext(1.3);
    Frame pv = templates::pvRead;
    const Reply lost = exchange(pv, 1, 7);
    EXPECT_LT(lost.count, 7);
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the late PV reply lands now
    Frame sv = templates::svRead;
    const Reply next = exchange(sv, 1, 7);
    ASSERT_TRUE(next.complete(7));
    EXPECT_EQ(signedWord(next.bytes[3], next.bytes[4]), 250);
}

TEST_F(TransactionTest, ExceptionReplyEndsTheReadAtOnce) {
    sim->exceptionNext(2);
    Frame f = templates::pvRead;
    const auto start = Clock::now();
    const Reply r = exchange(f, 1, 7);
    EXPECT_TRUE(r.isException());
    EXPECT_EQ(r.bytes[1], 0x83);
    EXPECT_EQ(r.bytes[2], 0x02);
    EXPECT_LT(secondsSince(start), 0.5);
    // Nothing of it is left behind for the next request.
    EXPECT_EQ(validatedRead(templates::pvRead, 1), 235);
    EXPECT_EQ(sim->requestCount(), 2);
}

TEST_F(TransactionTest, WriteReadsTheWholeEcho) {
    Frame f = templates::modeOff;
    const Reply r = exchangeWrite(f, 1, 0);
    EXPECT_EQ(r.count, 8);
    EXPECT_TRUE(r.complete(8));
    EXPECT_EQ(sim->reg(0x0003), 0);
}

TEST_F(TransactionTest, BusyGuardWaitsAndSendsNothingMeanwhile) {
    gTx.comBusy = 1;
    auto read = std::async(std::launch::async, [] { return validatedRead(templates::pvRead, 1); });
    EXPECT_EQ(read.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    EXPECT_EQ(sim->requestCount(), 0);
    gTx.comBusy = 0;
    EXPECT_EQ(read.get(), 235);
    EXPECT_EQ(sim->requestCount(), 1);
    EXPECT_EQ(gTx.comBusy.load(), 0);
}

TEST_F(TransactionTest, VanishedDeviceFailsFast) {
    sim->closeLine();
    const auto start = Clock::now();
    EXPECT_FALSE(validatedRead(templates::pvRead, 1).has_value());
    EXPECT_LT(secondsSince(start), 1.0);
}
