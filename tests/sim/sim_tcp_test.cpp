// The simulator on a loopback TCP port: Modbus TCP framing (the header's
// transaction id echoed, frames it cannot follow dropped), RTU frames over a
// raw socket, and masters that come and go.
#include "sim/sim_controller.h"
#include "sim_line.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

sim::SimOptions listening(bool rtu) {
    return {
        .ids = {1, 7}, .baudRate = 115200, .latency = 0.0005, .listen = sim::Listen{.rtu = rtu}};
}

TEST(SimTcp, ModbusTcpEchoesTheTransactionAndPassesOverWhatIsNotForIt) {
    sim::SimController sim(listening(false));
    ASSERT_TRUE(sim.start());
    ASSERT_NE(sim.port(), 0);
    EXPECT_EQ(sim.devicePath(), "tcp://127.0.0.1:" + std::to_string(sim.port()));
    RawStream master(sim.port());
    ASSERT_TRUE(master.isOpen());

    // Id 7's identification under transaction 0x1234.
    EXPECT_EQ(master.transact(
                  {0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x07, 0x03, 0x1F, 0x00, 0x00, 0x01}, 11),
              (Bytes{0x12, 0x34, 0x00, 0x00, 0x00, 0x05, 0x07, 0x03, 0x02, 0x40, 0x07}));
    EXPECT_EQ(sim.lastRequestHex(), "12 34 00 00 00 06 07 03 1F 00 00 01");

    // A frame of another protocol and one for an absent id go unanswered in
    // one write; the request behind them is answered first and alone.
    const int before = sim.requestCount();
    ASSERT_TRUE(
        master.send({0x00, 0x01, 0x00, 0x01, 0x00, 0x06, 0x01, 0x03, 0x1F, 0x00, 0x00, 0x01,
                     0x00, 0x02, 0x00, 0x00, 0x00, 0x06, 0x03, 0x03, 0x1F, 0x00, 0x00, 0x01,
                     0x00, 0x03, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x1F, 0x00, 0x00, 0x01}));
    EXPECT_EQ(master.receive(11),
              (Bytes{0x00, 0x03, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02, 0x40, 0x07}));
    EXPECT_EQ(sim.requestCount(), before + 1);

    // Refusals: SV 1200.1 over the Hi limit, and a read one word short.
    EXPECT_EQ(master.transact(
                  {0x00, 0x05, 0x00, 0x00, 0x00, 0x06, 0x01, 0x06, 0x00, 0x00, 0x2E, 0xE1}, 9),
              (Bytes{0x00, 0x05, 0x00, 0x00, 0x00, 0x03, 0x01, 0x86, 0x03}));
    EXPECT_EQ(master.transact({0x00, 0x06, 0x00, 0x00, 0x00, 0x04, 0x01, 0x03, 0x10, 0x00}, 9),
              (Bytes{0x00, 0x06, 0x00, 0x00, 0x00, 0x03, 0x01, 0x83, 0x03}));
    EXPECT_EQ(sim.reg(1, 0x0000), 250);
}

TEST(SimTcp, AStreamItCannotFollowIsClosedAndTheNextMasterIsServed) {
    sim::SimController sim(listening(false));
    ASSERT_TRUE(sim.start());
    const Bytes ident{0x00, 0x09, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x1F, 0x00, 0x00, 0x01};
    const Bytes identReply{0x00, 0x09, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02, 0x40, 0x07};
    {
        // Length 0: where the next frame would start cannot be known.
        RawStream master(sim.port());
        ASSERT_TRUE(master.send({0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x01}));
        EXPECT_TRUE(master.closedByPeer());
    }
    {
        RawStream master(sim.port());
        EXPECT_EQ(master.transact(ident, 11), identReply);
        // A dropped line ends every connection, but the port still listens.
        sim.closeLine();
        EXPECT_TRUE(master.closedByPeer());
    }
    RawStream master(sim.port());
    EXPECT_EQ(master.transact(ident, 11), identReply);
}

TEST(SimTcp, RtuOverTcpCarriesTheLineFramesAsTheyAre) {
    sim::SimController sim(listening(true));
    ASSERT_TRUE(sim.start());
    EXPECT_EQ(sim.devicePath(), "rtu+tcp://127.0.0.1:" + std::to_string(sim.port()));
    RawStream master(sim.port());
    const Bytes pv = master.transact({0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA}, 7);
    ASSERT_EQ(pv.size(), 7u);
    EXPECT_EQ(Bytes(pv.begin(), pv.begin() + 3), (Bytes{0x01, 0x03, 0x02}));
    // Garbage ahead of a request is passed over, as on the serial line.
    EXPECT_EQ(master.transact({0x55, 0x07, 0x03, 0x1F, 0x00, 0x00, 0x01, 0x83, 0xB8}, 7),
              (Bytes{0x07, 0x03, 0x02, 0x40, 0x07, 0x40, 0x46}));
}

} // namespace
