// The thermal process behind the registers, run on a fast clock.
#include "sim/sim_controller.h"
#include "sim_line.h"

#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace simtest;
using namespace std::chrono_literals;

namespace {

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds within = 5s) {
    const auto deadline = Clock::now() + within;
    while (!condition()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class SimProcess : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sim.start()); }
    int16_t pv() const { return int16_t(sim.reg(0x1000)); }

    sim::SimController sim{{.timeScale = 200.0}};
};

TEST_F(SimProcess, ManualOutputHeatsAndOffCools) {
    // Set over the line, as the master would.
    Line line(sim.devicePath());
    ASSERT_EQ(line.transact(writeRequest(1, 0x0002, 500), 8).size(), 8u);
    ASSERT_EQ(line.transact(writeRequest(1, 0x0003, 4), 8).size(), 8u);
    EXPECT_TRUE(waitFor([&] { return sim.reg(0x1002) == 500; }));
    EXPECT_TRUE(waitFor([&] { return pv() > 1000; })) << "PV " << pv();

    const Bytes reply = line.transact(readRequest(1, 0x1000, 1), 7);
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_GT(int16_t(reply[3] << 8 | reply[4]), 1000);

    sim.setReg(0x0003, 0);
    EXPECT_TRUE(waitFor([&] { return sim.reg(0x1002) == 0; }));
    EXPECT_TRUE(waitFor([&] { return pv() < 400; })) << "PV " << pv();
}

TEST_F(SimProcess, OnModeSettlesAtTheSetValue) {
    sim.setReg(0x0000, 1500);
    EXPECT_TRUE(waitFor([&] { return std::abs(pv() - 1500) <= 3; }, 10s)) << "PV " << pv();
    // Holding 150.0 against the losses takes about (150.0 - 23.5) / 4 = 31.6 % output.
    EXPECT_TRUE(waitFor([&] { return std::abs(int(sim.reg(0x1002)) - 316) <= 30; }))
        << "output " << sim.reg(0x1002);

    // Dir action drives the output the other way: above SV it heats.
    sim.setReg(0x0022, 0);
    sim.setReg(0x0000, 1000);
    EXPECT_TRUE(waitFor([&] { return sim.reg(0x1002) == 1000; })) << sim.reg(0x1002);
}

TEST(SimProcessRealTime, ForcedPvAndOffsetShowInThePvRegister) {
    sim::SimController sim; // real time, so cooling barely moves PV during the test
    ASSERT_TRUE(sim.start());
    auto pv = [&] { return int16_t(sim.reg(0x1000)); };
    sim.setReg(0x0003, 0);
    sim.setReg(0x1000, 3000);
    EXPECT_EQ(pv(), 3000);
    sim.setReg(0x0001, uint16_t(-100));
    EXPECT_TRUE(waitFor([&] { return pv() <= 2900 && pv() > 2800; })) << "PV " << pv();
}

TEST(SimProcessRealTime, AlarmOutputsFollowPvWithHysteresisAndOffClearsThem) {
    sim::SimController sim;
    ASSERT_TRUE(sim.start());
    Line line(sim.devicePath());
    // No heat, so PV sits at 23.5 and the offset alone moves it.
    sim.setReg(0x0002, 0);
    sim.setReg(0x0003, 4);
    sim.setReg(0x0004, 500); // alarm 1: high at 50.0, hysteresis 1.0
    sim.setReg(0x0009, 300); // alarm 2: low at 30.0
    sim.setReg(0x000B, 2);
    auto statusAt = [&](int pv) {
        sim.setReg(0x0001, uint16_t(pv - 235));
        const Bytes reply = line.transact(readRequest(1, 0x1003, 1), 7);
        return reply.size() == 7 ? reply[3] << 8 | reply[4] : -1;
    };
    EXPECT_EQ(statusAt(235), 0x0200);
    EXPECT_EQ(statusAt(500), 0x0000);
    EXPECT_EQ(statusAt(501), 0x0100);
    EXPECT_EQ(statusAt(491), 0x0100) << "still within the hysteresis";
    EXPECT_EQ(statusAt(489), 0x0000);
    EXPECT_EQ(statusAt(501), 0x0100);
    sim.setReg(0x0003, 0);
    EXPECT_EQ(statusAt(501), 0x0000) << "Off switches the alarms off too";
}

TEST_F(SimProcess, AutoTuneHandsBackToOn) {
    sim.setReg(0x0003, 2);
    EXPECT_TRUE(waitFor([&] { return sim.reg(0x0003) == 1; }));
    sim.setReg(0x0003, 3);
    EXPECT_TRUE(waitFor([&] { return sim.reg(0x0003) == 1; }));
    EXPECT_EQ(sim.reg(0x1003), 0);
}

} // namespace
