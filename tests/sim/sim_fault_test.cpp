// Injected faults, line closing and reply pacing: what the master's error
// handling gets tested against has to do exactly what it says.
#include "sim/sim_controller.h"
#include "sim_line.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace simtest;
using namespace std::chrono_literals;

namespace {

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class SimFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start());
        line = std::make_unique<Line>(sim.devicePath());
        ASSERT_TRUE(line->isOpen());
        identReply = line->transact(ident, 7);
        ASSERT_EQ(identReply.size(), 7u);
    }

    sim::SimController sim{{.baudRate = 115200, .latency = 0.0005}};
    std::unique_ptr<Line> line;
    const Bytes ident = readRequest(1, 0x1F00, 1);
    Bytes identReply;
};

TEST_F(SimFaults, DroppedRepliesAreSilentButTheRequestsCount) {
    sim.dropReplies(2);
    ASSERT_TRUE(line->send(writeRequest(1, 0x0003, 0)));
    ASSERT_TRUE(line->send(readRequest(1, 0x1000, 1)));
    EXPECT_EQ(line->transact(ident, 7), identReply);
    EXPECT_EQ(sim.requestCount(), 4);
    EXPECT_EQ(sim.reg(0x0003), 0) << "a lost reply still means the write happened";
}

TEST_F(SimFaults, CorruptedRepliesEachAffectOnlyTheNextReply) {
    sim.flipBit(4, 0);
    Bytes reply = line->transact(ident, 7);
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(reply[4], identReply[4] ^ 0x01);
    EXPECT_FALSE(goodCrc(reply));

    sim.truncateNext(3);
    EXPECT_EQ(line->transact(ident, 3), Bytes(identReply.begin(), identReply.begin() + 3));
    EXPECT_EQ(line->transact(ident, 7), identReply) << "the cut-off bytes never follow";

    sim.wrongSlaveNext(5);
    reply = line->transact(ident, 7);
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(reply[0], 5);
    EXPECT_TRUE(goodCrc(reply));
    EXPECT_EQ(Bytes(reply.begin() + 1, reply.end() - 2),
              Bytes(identReply.begin() + 1, identReply.end() - 2));

    sim.noiseNext(6);
    reply = line->transact(ident, 13);
    ASSERT_EQ(reply.size(), 13u);
    EXPECT_EQ(Bytes(reply.begin() + 6, reply.end()), identReply);

    EXPECT_EQ(line->transact(ident, 7), identReply) << "faults are used up";
}

TEST_F(SimFaults, InjectedExceptionReplacesTheReplyAndTheWrite) {
    sim.exceptionNext(0x04);
    EXPECT_EQ(line->transact(writeRequest(1, 0x0000, 900), 5), withCrc({0x01, 0x86, 0x04}));
    EXPECT_EQ(sim.reg(0x0000), 250);
    EXPECT_EQ(line->transact(writeRequest(1, 0x0000, 900), 8), writeRequest(1, 0x0000, 900));
}

TEST_F(SimFaults, LateReplyComesAfterTheExtraDelay) {
    sim.delayNext(0.3);
    const auto start = Clock::now();
    EXPECT_EQ(line->transact(ident, 7), identReply);
    EXPECT_GE(since(start), 0.3);
}

TEST_F(SimFaults, StopDoesNotWaitForAHeldReply) {
    sim.delayNext(10);
    ASSERT_TRUE(line->send(ident));
    // Wait until the request is in hand, so the worker sits in the delay.
    const auto deadline = Clock::now() + 2s;
    while (sim.requestCount() < 2 && Clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_EQ(sim.requestCount(), 2);
    // Long before the held reply is due; how promptly, bench/sim_bench measures.
    const auto start = Clock::now();
    sim.stop();
    EXPECT_LT(since(start), 5.0);
}

TEST_F(SimFaults, ClosedLineHangsUpTheDevice) {
    sim.closeLine();
    pollfd p{line->fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & (POLLHUP | POLLERR));
    uint8_t byte = 0;
    EXPECT_LE(::read(line->fd(), &byte, 1), 0);
    // The CPU the worker uses from here on is measured by bench/sim_bench.
    sim.stop();
}

TEST(SimTiming, RepliesArePacedAtTheBaudRate) {
    sim::SimController sim({.baudRate = 9600, .latency = 0.0});
    ASSERT_TRUE(sim.start());
    Line line(sim.devicePath());
    auto start = Clock::now();
    ASSERT_EQ(line.transact(readRequest(1, 0x1000, 1), 7).size(), 7u);
    EXPECT_GE(since(start), 7 * 11 / 9600.0);

    // 187 bytes at 9600 baud take about 0.21 s on a real line.
    start = Clock::now();
    ASSERT_EQ(line.transact(readRequest(1, 0x0000, 0x5B), 5 + 2 * 0x5B).size(), 187u);
    EXPECT_GE(since(start), 187 * 11 / 9600.0);
}

} // namespace
