// The thermal process behind the registers, run on a fast clock.
#include "sim/sim_controller.h"
#include "sim/sim_unit.h"
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

// The controller's own SV ramp and the kiln's process, on a virtual clock:
// the unit is advanced by hand, so no time passes but the test's.
namespace {

int16_t live(const sim::SimUnit& u, uint16_t address) {
    return u.registers.getSigned(address);
}

TEST(SimRamp, ModelDRampsItsSvAtItsRatePerTimeUnitAndShowsTheRampIn0x1001) {
    sim::SimUnit d(1, 'D');
    d.advance(1);
    d.registers.writeFromLine(0x000E, 10); // 1.0 a second with MM:SS
    d.registers.writeFromLine(0x0000, 1000);
    d.advance(30);
    EXPECT_EQ(live(d, 0x1001), 550);
    EXPECT_EQ(live(d, 0x0000), 1000);
    d.advance(60);
    EXPECT_EQ(live(d, 0x1001), 1000) << "it stops at the SV";
    d.registers.writeFromLine(0x0026, 1); // HH:MM: per minute
    d.registers.writeFromLine(0x0000, 800);
    d.advance(60);
    EXPECT_EQ(live(d, 0x1001), 990) << "down, at 1.0 a minute";
    d.registers.writeFromLine(0x000E, 0);
    d.advance(0.1);
    EXPECT_EQ(live(d, 0x1001), 800) << "no ramp: the SV at once";

    // The other model has no ramp, and the step program makes its own.
    sim::SimUnit plain(1, '@');
    plain.advance(1);
    plain.registers.writeFromLine(0x000E, 10);
    plain.registers.writeFromLine(0x0000, 1000);
    plain.advance(1);
    EXPECT_EQ(live(plain, 0x1001), 1000);
    d.registers.writeFromLine(0x000E, 10);
    d.registers.writeFromLine(0x0033, 0); // step 1: no ramp time, to 300.0
    d.registers.writeFromLine(0x0034, 3000);
    d.registers.writeFromLine(0x0035, 100);
    d.registers.writeFromLine(0x0003, 5);
    d.advance(0.1);
    EXPECT_EQ(live(d, 0x1001), 3000);
}

TEST(SimKiln, PvLagsAFastRampAndAWeakHeaterFallsFurtherBehind) {
    auto kiln = [](double heating) {
        sim::Process p = sim::Process::kiln();
        p.heating = heating;
        auto u = std::make_unique<sim::SimUnit>(1, 'D', p);
        u->advance(1);
        u->registers.writeFromLine(0x0026, 1);
        u->registers.writeFromLine(0x000E, 100); // 10.0 a minute: 600 an hour
        u->registers.writeFromLine(0x0000, 10000);
        return u;
    };
    auto full = kiln(1), weak = kiln(0.3);
    for (int s = 0; s < 30 * 60; ++s) {
        full->advance(1);
        weak->advance(1);
    }
    // 30 minutes up the ramp: SV 325.0, the kiln a little below it, the
    // weak one far below.
    EXPECT_EQ(live(*full, 0x1001), 3250);
    EXPECT_LT(live(*full, 0x1000), 3250);
    EXPECT_GT(live(*full, 0x1000), 3050);
    EXPECT_LT(live(*weak, 0x1000), 1600);
    // High up, full power no longer keeps up with 600 an hour.
    for (int s = 0; s < 60 * 60; ++s)
        full->advance(1);
    EXPECT_LT(live(*full, 0x1000), live(*full, 0x1001) - 300);
}

} // namespace
