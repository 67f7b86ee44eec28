// The servers the transport tests stand on, each proved with one exchange:
// pymodbus answering three ids on a serial line and serving Modbus TCP, and
// ser2net passing RTU frames between a TCP port and the simulator's line.
#include "independent_slave.h"
#include "sim/sim_controller.h"
#include "support/raw_stream.h"
#include "support/ser2net_gateway.h"

#include <gtest/gtest.h>

namespace {

TEST(TestServers, PymodbusAnswersThreeIdsOnOneSerialLine) {
    IndependentSlave slave({"--id", "1,2,7", "--set", "2:0x1000=300", "--set", "7:0x1000=700"});
    ASSERT_FALSE(slave.device().empty()) << slave.why();
    RawStream line(slave.device());
    ASSERT_TRUE(line.isOpen());
    // The slave's first answer can take seconds on a busy machine: the
    // deadline is generous, never a bound.
    EXPECT_EQ(line.transact({0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA}, 7,
                            std::chrono::seconds(20)),
              (Bytes{0x01, 0x03, 0x02, 0x00, 0xEA, 0x39, 0xCB}));
    EXPECT_EQ(line.transact({0x02, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xF9}, 7),
              (Bytes{0x02, 0x03, 0x02, 0x01, 0x2C, 0xFC, 0x09}));
    EXPECT_EQ(line.transact({0x07, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xAC}, 7),
              (Bytes{0x07, 0x03, 0x02, 0x02, 0xBC, 0x30, 0x95}));
}

TEST(TestServers, PymodbusServesModbusTcpOnAFreeLoopbackPort) {
    IndependentSlave slave({"--tcp"});
    ASSERT_FALSE(slave.device().empty()) << slave.why();
    EXPECT_EQ(slave.device(), "tcp://127.0.0.1:" + std::to_string(slave.port()));
    RawStream master(slave.port());
    ASSERT_TRUE(master.isOpen());
    EXPECT_EQ(master.transact(
                  {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x10, 0x00, 0x00, 0x01}, 11),
              (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02, 0x00, 0xEA}));
    EXPECT_EQ(slave.requests(), std::vector<std::string>{"00 01 00 00 00 06 01 03 10 00 00 01"});
}

TEST(TestServers, Ser2netCarriesRtuFramesToTheSimulatorAndBackAfterARestart) {
    sim::SimController sim;
    sim.setReg(0x0003, 0); // Off: the process stays at room temperature, PV 23.5
    ASSERT_TRUE(sim.start());
    Ser2netGateway gateway(sim.devicePath());
    ASSERT_FALSE(gateway.device().empty()) << gateway.why();
    const Bytes pvRead{0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA};
    const Bytes pvReply{0x01, 0x03, 0x02, 0x00, 0xEB, 0xF8, 0x0B};
    {
        RawStream master(gateway.port());
        EXPECT_EQ(master.transact(pvRead, 7), pvReply);
        gateway.stop();
        EXPECT_TRUE(master.closedByPeer());
    }
    ASSERT_TRUE(gateway.start()) << gateway.why();
    RawStream master(gateway.port());
    EXPECT_EQ(master.transact(pvRead, 7), pvReply);
    EXPECT_EQ(sim.lastRequestHex(), "01 03 10 00 00 01 80 CA");
}

} // namespace
