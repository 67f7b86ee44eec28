// Which flushes, writes, reads and pauses a transaction puts on the line, in
// order and in virtual time: the controller relies on the pauses as much as
// on the bytes.
#include "link/line.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "mainpanel/ids/main_panel.h"
#include "support/controller_fixture.h"
#include "support/fake_line.h"

#include <memory>

namespace {

using Lines = std::vector<std::string>;

class Timeline : public ControllerTest {
  protected:
    void SetUp() override {
        fake = std::make_unique<FakeLine>();
        fake->setReg(0x1F00, uint16_t('@' << 8 | 7));
        fake->setReg(0x0021, 1);
        startSimulator = false;
        ControllerTest::SetUp();
    }
    void TearDown() override {
        ControllerTest::TearDown();
        fake.reset();
    }
    // The port open as a good connection leaves it, with an empty log.
    void openPort() {
        line().setComPort(kSimPort);
        ASSERT_EQ(line().open(), 0);
        fake->clearLog();
    }
    // The first n lines of the timeline.
    Lines first(std::size_t n) const {
        Lines all = fake->timeline();
        all.resize(std::min(n, all.size()));
        return all;
    }

    std::unique_ptr<FakeLine> fake;
};

TEST_F(Timeline, ValidatedReadIsPreparedThenExchanged) {
    openPort();
    EXPECT_EQ(pollRegister(controller(), reg::pv), 0);
    EXPECT_EQ(fake->timeline(), (Lines{"0.000 flush out", "0.000 flush in", "0.030 flush in",
                                       "0.030 write 01 03 10 00 00 01 80 CA", "0.060 read 7"}));
}

// A damaged reply may be the front of a late one: the retry's reply is read
// until the line has been quiet for 0.05 s.
TEST_F(Timeline, DamagedReplyIsAskedForAgainAfterAFlushAndAPause) {
    openPort();
    fake->setReg(0x1000, 235);
    fake->flipBit(4, 0);
    EXPECT_EQ(pollRegister(controller(), reg::pv), 235);
    EXPECT_EQ(fake->timeline(), (Lines{"0.000 flush out", "0.000 flush in", "0.030 flush in",
                                       "0.030 write 01 03 10 00 00 01 80 CA", "0.060 read 7",
                                       "0.060 flush out", "0.060 flush in", "0.090 flush in",
                                       "0.090 write 01 03 10 00 00 01 80 CA", "0.170 read 7"}));
}

// After an exchange that got no answer, that answer may still come: the next
// reply is read until the line falls quiet, 0.05 s after its last byte.
TEST_F(Timeline, SilenceCostsTheTimeOutAndTheNextReplyIsReadToItsEnd) {
    openPort();
    fake->silent();
    EXPECT_EQ(pollRegister(controller(), reg::pv), 0);
    EXPECT_EQ(fake->timeline(), (Lines{"0.000 flush out", "0.000 flush in", "0.030 flush in",
                                       "0.030 write 01 03 10 00 00 01 80 CA", "1.060 read 0",
                                       "1.060 flush out", "1.060 flush in", "1.090 flush in",
                                       "1.090 write 01 03 10 00 00 01 80 CA", "1.170 read 7"}));
}

TEST_F(Timeline, ConnectionOpensPausesProbesThenReadsTheParameters) {
    connect(1);
    EXPECT_EQ(first(14),
              (Lines{"0.000 open", "0.050 flush out", "0.050 flush in", "0.080 flush in",
                     "0.080 write 01 03 1F 00 00 01 83 DE", "0.110 read 7", "0.110 flush out",
                     "0.110 flush in", "0.130 flush in", "0.130 write 01 03 00 21 00 01 D4 00",
                     "0.160 read 7", "0.160 flush in", "0.160 write 01 03 00 26 00 01 65 C1",
                     "0.190 read 7"}));
    EXPECT_EQ(fake->requests().size(), 27u);
}

TEST_F(Timeline, ControlledExitReadsTheStatusThenSwitchesOff) {
    connect(1);
    fake->setReg(0x1003, 0x0401);
    fake->clearLog();
    popups.buttons.push_back(1);
    commit(MainPanel::handle, MainPanel::exitButton);
    EXPECT_EQ(fake->timeline(),
              (Lines{"0.000 flush out", "0.000 flush in", "0.030 flush in",
                     "0.030 write 01 03 10 03 00 01 70 CA", "0.060 read 7", "0.090 flush in",
                     "0.090 write 01 06 00 03 00 00 79 CA", "0.120 read 8", "0.120 close"}));
}

} // namespace
