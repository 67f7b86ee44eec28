// The one poll on a fake line: what it asks, and when. The unit and decimal
// point are read on the first poll, after a write to either and once 10 s
// have passed; PV to the status word go in one request where the
// controller answers it, and one by one from the first refusal on.
#include "link/controller.h"
#include "link/line.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "monitor/controller_poll.h"
#include "serial/serial_service.h"
#include "support/fake_line.h"

#include <gtest/gtest.h>

namespace {

using Requests = std::vector<std::string>;
constexpr const char* kIdentify = "01 03 1F 00 00 01 83 DE";
constexpr const char* kUnitAndPoint = "01 03 00 20 00 02 C5 C1";
constexpr const char* kOutAndMode = "01 03 00 02 00 02 65 CB";
constexpr const char* kPvToStatus = "01 03 10 00 00 04 40 C9";

class ControllerPoll : public ::testing::Test {
  protected:
    void SetUp() override {
        fake.setReg(reg::identification, uint16_t('@' << 8 | 1));
        fake.setReg(reg::decimalPoint, 1);
        fake.setReg(reg::outputLevel, 125);
        fake.setReg(reg::controlMode, 4);
        fake.setReg(reg::pv, 235);
        fake.setReg(reg::svRead, 250);
        fake.setReg(reg::status, 0x0105);
        line.setComPort(3);
        ASSERT_EQ(line.open(), 0);
        fake.clearLog();
    }
    void TearDown() override { CloseCom(line.port()); }
    Requests asked() {
        Requests r = fake.requests();
        fake.clearLog();
        return r;
    }

    FakeLine fake;
    Line line;
    Controller c{line};
};

TEST_F(ControllerPoll, ReadsTheUnitWhenDueAndPvToStatusInOneRequest) {
    PollReading r = pollController(c);
    EXPECT_EQ(asked(), (Requests{kIdentify, kUnitAndPoint, kOutAndMode, kPvToStatus}));
    EXPECT_TRUE(r.good()) << r.problem();
    EXPECT_EQ(r.model, '@');
    EXPECT_EQ(r.pv, 23.5);
    EXPECT_EQ(r.sv, 25.0);
    EXPECT_EQ(r.digits, 1);
    EXPECT_EQ(r.unit, 0);
    EXPECT_EQ(r.mode, ControlMode::manual);
    EXPECT_EQ(r.out, 12.5);
    EXPECT_EQ(r.status, 0x0105);

    pollController(c);
    EXPECT_EQ(asked(), (Requests{kOutAndMode, kPvToStatus}));
    // A change at the controller's keys is seen within 10 s.
    fake.setReg(reg::decimalPoint, 0);
    lineClock().sleepUntil(secondsFromNow(kUnitRereadSeconds));
    r = pollController(c);
    EXPECT_EQ(asked(), (Requests{kUnitAndPoint, kOutAndMode, kPvToStatus}));
    EXPECT_EQ(r.pv, 235.0);
    // And at once after a write of its own.
    ASSERT_TRUE(writeRegister(c, reg::decimalPoint, 1).ok());
    fake.clearLog();
    r = pollController(c, {.modeAndOutput = false});
    EXPECT_EQ(asked(), (Requests{kUnitAndPoint, kPvToStatus}));
    EXPECT_EQ(r.pv, 23.5);
    EXPECT_FALSE(r.mode);
}

TEST_F(ControllerPoll, AControllerThatRefusesTheBlockIsReadOneByOneFromThenOn) {
    fake.normal(2);
    fake.exception(2);
    fake.exception(2);
    const PollExtras live{.modeAndOutput = false, .status = false};
    PollReading r = pollController(c, live);
    EXPECT_EQ(asked(), (Requests{kIdentify, kUnitAndPoint, kPvToStatus, kPvToStatus,
                                 "01 03 10 01 00 01 D1 0A", "01 03 10 00 00 01 80 CA"}));
    EXPECT_TRUE(r.good()) << r.problem();
    EXPECT_EQ(r.sv, 25.0);
    EXPECT_EQ(r.pv, 23.5);
    EXPECT_FALSE(r.status);
    r = pollController(c);
    EXPECT_EQ(asked(), (Requests{kOutAndMode, "01 03 10 01 00 01 D1 0A", "01 03 10 00 00 01 80 CA",
                                 "01 03 10 03 00 01 70 CA"}));
    EXPECT_EQ(r.status, 0x0105);
}

TEST_F(ControllerPoll, ASilentControllerCostsOneReadAndIsAskedWhoItIsWhenBack) {
    pollController(c);
    fake.clearLog();
    fake.silent(4);
    for (int i = 0; i < 2; ++i) {
        const PollReading r = pollController(c);
        EXPECT_EQ(r.fault, Fault::noReply);
        EXPECT_FALSE(r.pv);
    }
    EXPECT_EQ(asked(), (Requests(4, kOutAndMode)));
    EXPECT_TRUE(c.health().silent());
    // What answers may be another device: its unit and decimal point too.
    const PollReading r = pollController(c);
    EXPECT_EQ(asked(), (Requests{kIdentify, kUnitAndPoint, kOutAndMode, kPvToStatus}));
    EXPECT_EQ(r.pv, 23.5);
    EXPECT_FALSE(c.health().silent());
}

} // namespace
