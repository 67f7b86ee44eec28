// The simulator as a Modbus RTU slave: golden frames, the register map and
// its refusals, and finding requests in a dirty byte stream.
#include "sim/sim_controller.h"
#include "sim_line.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace simtest;

namespace {

class SimProtocol : public ::testing::Test {
  protected:
    void SetUp() override { open({}); }

    void open(sim::SimOptions options) {
        line.reset();
        sim = std::make_unique<sim::SimController>(options);
        ASSERT_TRUE(sim->start());
        line = std::make_unique<Line>(sim->devicePath());
        ASSERT_TRUE(line->isOpen());
    }

    uint16_t value(const Bytes& reply, int index) {
        return uint16_t(reply[3 + 2 * index] << 8 | reply[4 + 2 * index]);
    }

    std::unique_ptr<sim::SimController> sim;
    std::unique_ptr<Line> line;
};

TEST_F(SimProtocol, GoldenPvReadGetsAGoodSevenByteReplyAndIsRecorded) {
    const Bytes golden{0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA};
    ASSERT_EQ(readRequest(1, 0x1000, 1), golden);
    const Bytes reply = line->transact(golden, 7);
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(reply[0], 0x01);
    EXPECT_EQ(reply[1], 0x03);
    EXPECT_EQ(reply[2], 0x02);
    EXPECT_TRUE(goodCrc(reply));
    // Near room temperature, in tenths.
    EXPECT_NEAR(int16_t(value(reply, 0)), 235, 50);
    EXPECT_EQ(sim->requestCount(), 1);
    EXPECT_EQ(sim->lastRequestHex(), "01 03 10 00 00 01 80 CA");
}

TEST_F(SimProtocol, IdentificationCarriesTheVariant) {
    Bytes reply = line->transact(readRequest(1, 0x1F00, 1), 7);
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(reply[3], '@');
    EXPECT_GT(reply[4], 0);

    open({.variant = 'D'});
    reply = line->transact(readRequest(1, 0x1F00, 1), 7);
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(reply[3], 'D');
}

TEST_F(SimProtocol, ReadsParametersLiveValuesAndFunctionFourAlike) {
    const Bytes params = line->transact(readRequest(1, 0x0000, 0x2A), 5 + 2 * 0x2A);
    ASSERT_EQ(params.size(), 5u + 2 * 0x2A);
    ASSERT_TRUE(goodCrc(params));
    EXPECT_EQ(params[2], 2 * 0x2A);
    EXPECT_EQ(value(params, 0x00), 250);            // SV 25.0
    EXPECT_EQ(value(params, 0x03), 1);              // On
    EXPECT_EQ(value(params, 0x21), 1);              // decimal point
    EXPECT_EQ(int16_t(value(params, 0x23)), -2000); // Lo limit, two's complement
    EXPECT_EQ(value(params, 0x24), 12000);          // Hi limit

    // The whole parameter and program block fits one request.
    const Bytes block = line->transact(readRequest(1, 0x0000, 0x5B), 5 + 2 * 0x5B);
    EXPECT_TRUE(goodCrc(block));

    const Bytes live = line->transact(readRequest(1, 0x1000, 4, 0x04), 5 + 8);
    ASSERT_EQ(live.size(), 13u);
    EXPECT_EQ(live[1], 0x04);
    EXPECT_EQ(value(live, 1), 250); // 0x1001 mirrors SV
    EXPECT_EQ(value(live, 3), 0);   // no program running
}

TEST_F(SimProtocol, WritesEchoAndStore) {
    for (auto [address, v] : {std::pair<uint16_t, uint16_t>{0x0000, 800},
                              {0x0003, 4},
                              {0x0023, uint16_t(-500)},
                              {0x0040, 1234}}) {
        const Bytes request = writeRequest(1, address, v);
        EXPECT_EQ(line->transact(request, 8), request) << "register " << address;
        EXPECT_EQ(sim->reg(address), v);
    }
    EXPECT_EQ(sim->reg(0x1001), 800);
}

TEST_F(SimProtocol, RefusesWithTheRightExceptionAndChangesNothing) {
    // SV outside Lo/Hi: the golden refusal 01 86 03 + CRC.
    EXPECT_EQ(line->transact(writeRequest(1, 0x0000, 12001), 5), withCrc({0x01, 0x86, 0x03}));
    EXPECT_EQ(line->transact(writeRequest(1, 0x0000, uint16_t(-2001)), 5),
              withCrc({0x01, 0x86, 0x03}));
    EXPECT_EQ(sim->reg(0x0000), 250);
    // The limits themselves are allowed.
    EXPECT_EQ(line->transact(writeRequest(1, 0x0000, 12000), 8), writeRequest(1, 0x0000, 12000));

    struct Case {
        Bytes request;
        Bytes reply;
    };
    const Case cases[] = {
        {withCrc({0x01, 0x05, 0x00, 0x00, 0xFF, 0x00}), withCrc({0x01, 0x85, 0x01})},
        {readRequest(1, 0x2000, 1), withCrc({0x01, 0x83, 0x02})},
        {readRequest(1, 0x1003, 2), withCrc({0x01, 0x83, 0x02})},  // runs off the live block
        {readRequest(1, 0x0050, 20), withCrc({0x01, 0x83, 0x02})}, // runs off the program
        {readRequest(1, 0x1000, 0), withCrc({0x01, 0x83, 0x03})},
        {readRequest(1, 0x0000, 126), withCrc({0x01, 0x83, 0x03})},
        {writeRequest(1, 0x1000, 100), withCrc({0x01, 0x86, 0x02})}, // PV is read only
        {writeRequest(1, 0x1F00, 0), withCrc({0x01, 0x86, 0x02})},
        {writeRequest(1, 0x002A, 1), withCrc({0x01, 0x86, 0x02})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(line->transact(c.request, c.reply.size()), c.reply) << sim->lastRequestHex();
    EXPECT_EQ(sim->reg(0x1F00) >> 8, '@');
}

TEST_F(SimProtocol, FindsRequestsInADirtyStream) {
    // After each piece of dirt a clean read of 0x1F00 follows: the first bytes
    // back must be its reply, so the dirt itself was not answered.
    const Bytes ident = readRequest(1, 0x1F00, 1);
    const Bytes identReply = line->transact(ident, 7);
    ASSERT_EQ(identReply.size(), 7u);
    auto expectOnlyIdentAnswered = [&](const char* what) {
        const int before = sim->requestCount();
        EXPECT_EQ(line->transact(ident, 7), identReply) << what;
        EXPECT_EQ(sim->requestCount(), before + 1) << what;
    };

    ASSERT_TRUE(line->send(readRequest(2, 0x1000, 1)));
    expectOnlyIdentAnswered("another slave's request");

    Bytes badCrc = readRequest(1, 0x1000, 1);
    badCrc[7] ^= 0xFF;
    ASSERT_TRUE(line->send(badCrc));
    expectOnlyIdentAnswered("bad CRC");

    // A frame split by a silence far longer than 3.5 characters is two pieces
    // of garbage, not one request.
    const Bytes pv = readRequest(1, 0x1000, 1);
    ASSERT_TRUE(line->send(Bytes(pv.begin(), pv.begin() + 5)));
    std::this_thread::sleep_for(std::chrono::milliseconds(30)); // the silence itself
    ASSERT_TRUE(line->send(Bytes(pv.begin() + 5, pv.end())));
    expectOnlyIdentAnswered("split frame");

    // Garbage glued to the front of a good frame in one write.
    Bytes glued = ident;
    glued.insert(glued.begin(), {0x00, 0xFF, 0x13, 0x01, 0x03});
    const int before = sim->requestCount();
    ASSERT_TRUE(line->send(glued));
    EXPECT_EQ(line->receive(7), identReply);
    EXPECT_EQ(sim->requestCount(), before + 1);
    EXPECT_EQ(sim->lastRequestHex(), "01 03 1F 00 00 01 83 DE");
}

} // namespace
