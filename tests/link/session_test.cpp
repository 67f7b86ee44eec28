// The controller session on a fake line: every request is judged once, with
// a typed reason; the one retry and silence policy; late answers; the frame
// and line event observers; the busy guard. No panel is loaded.
#include "link/controller.h"
#include "link/frame_observers.h"
#include "link/line.h"
#include "link/line_events.h"
#include "link/registers.h"
#include "link/retry_policy.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "serial/serial_service.h"
#include "support/fake_line.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int kPort = 3;

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        line.setReg(reg::pv, 235);
        line.setReg(reg::svRead, 250);
        link.setComPort(kPort);
        ASSERT_EQ(link.open(), 0);
        line.clearLog();
    }
    void TearDown() override { CloseCom(link.port()); }
    std::size_t requests() const { return line.requests().size(); }

    FakeLine line;
    // The line to the fake slave, and its controller, fresh for each test.
    Line link;
    Controller controller{link};
};

TEST_F(SessionTest, EveryFaultHasItsOwnReason) {
    struct Case {
        const char* name;
        std::function<void(FakeLine&)> fault;
        Fault expected;
    } cases[] = {
        {"silence", [](FakeLine& l) { l.silent(); }, Fault::noReply},
        {"bad CRC", [](FakeLine& l) { l.flipBit(6, 0); }, Fault::damaged},
        {"short", [](FakeLine& l) { l.cut(6); }, Fault::damaged},
        {"another slave", [](FakeLine& l) { l.wrongSlave(2); }, Fault::wrongSlave},
        {"another function",
         [](FakeLine& l) {
             l.replyWith({0x01, 0x04, 0x02, 0x00, 0xEB, 0xF9, 0x7F});
         },
         Fault::wrongFunction},
        {"another byte count",
         [](FakeLine& l) {
             l.replyWith({0x01, 0x03, 0x03, 0x00, 0xEB, 0xA9, 0xCB});
         },
         Fault::mismatch},
        {"exception", [](FakeLine& l) { l.exception(2); }, Fault::exception},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < retry::kReadAttempts; ++i)
            c.fault(line);
        const Outcome o = readRegisters(controller, reg::pv);
        EXPECT_EQ(o.fault, c.expected) << describe(o);
        EXPECT_TRUE(o.words.empty());
        EXPECT_FALSE(pollRegister(controller, reg::pv) != 235) << "the next read is not spoilt";
    }
    line.exception(4);
    line.exception(4);
    EXPECT_EQ(readRegisters(controller, reg::pv).exceptionCode, 4);
    EXPECT_EQ(describe(Fault::exception, 4), "exception 04");
}

TEST_F(SessionTest, WritesAreJudgedByTheirWholeEchoAndSentOnce) {
    Outcome o = writeRegister(controller, reg::setValue, 300);
    EXPECT_TRUE(o.ok());
    EXPECT_EQ(line.reg(reg::setValue), 300);
    EXPECT_EQ(controller.writeEcho(),
              (std::array<uint8_t, 8>{0x01, 0x06, 0x00, 0x00, 0x01, 0x2C, 0x89, 0x87}));
    line.replyWith({0x01, 0x06, 0x00, 0x00, 0x01, 0x2D, 0x48, 0x47}); // the echo of another value
    EXPECT_EQ(writeRegister(controller, reg::setValue, 300).fault, Fault::mismatch);
    line.exception(3);
    o = writeRegister(controller, reg::setValue, 300);
    EXPECT_TRUE(o.refused());
    EXPECT_EQ(o.exceptionCode, 3);
    EXPECT_EQ(controller.writeEcho()[1], 0x86);
    // A write that gets nothing is not repeated, and no old echo stands in for it.
    line.clearLog();
    line.silent();
    EXPECT_EQ(writeRegister(controller, reg::setValue, 300).fault, Fault::noReply);
    EXPECT_EQ(requests(), std::size_t(retry::kWriteAttempts));
    EXPECT_EQ(controller.writeEcho(), (std::array<uint8_t, 8>{}));
}

TEST_F(SessionTest, ABadReplyIsAskedForAgainWithTheSameBytes) {
    line.flipBit(4, 3);
    EXPECT_EQ(pollRegister(controller, reg::pv), 235);
    EXPECT_EQ(line.requests(),
              (std::vector<std::string>{"01 03 10 00 00 01 80 CA", "01 03 10 00 00 01 80 CA"}));
    // Damage on every try: no value, and no more requests than the policy allows.
    line.clearLog();
    for (int i = 0; i < retry::kReadAttempts; ++i)
        line.cut(4);
    EXPECT_EQ(pollRegister(controller, reg::pv), std::nullopt);
    EXPECT_EQ(requests(), std::size_t(retry::kReadAttempts));
    EXPECT_FALSE(link.busy());
}

TEST_F(SessionTest, SilenceCountedAcrossATransferEndsIt) {
    line.silent(100);
    Transfer t(controller);
    EXPECT_EQ(t.read(reg::a1SetPoint).fault, Fault::noReply);
    EXPECT_FALSE(t.silent()) << "two silent tries are not yet a dead line";
    EXPECT_EQ(t.read(reg::a2SetPoint).fault, Fault::noReply);
    EXPECT_TRUE(t.silent());
    EXPECT_EQ(requests(), std::size_t(retry::kSilentExchanges));
    EXPECT_EQ(t.read(reg::rampRate).fault, Fault::noReply);
    EXPECT_FALSE(t.write(reg::rampRate, 1).ok());
    EXPECT_EQ(requests(), std::size_t(retry::kSilentExchanges)) << "nothing more is sent";
    // Three time-outs, the pauses around them and, before the second read,
    // the wait until the first one's retry can no longer be answered.
    EXPECT_LT(line.seconds(), 4.2);
}

TEST_F(SessionTest, ASilentPollIsGivenUpAfterItsTries) {
    line.silent(retry::kReadAttempts);
    EXPECT_EQ(pollRegister(controller, reg::pv), std::nullopt);
    EXPECT_LT(line.seconds(), 2.5);
    EXPECT_FALSE(link.busy());
    EXPECT_EQ(pollRegister(controller, reg::pv), 235);
}

// A serial slave answers in order, so an answer that comes too late arrives
// ahead of the next reply: that reply is the frame at the end of the burst.
TEST_F(SessionTest, ALateAnswerIsNeverTakenForTheNextReply) {
    std::vector<FrameRecord> frames;
    const int handle = link.addFrameObserver([&](const FrameRecord& f) { frames.push_back(f); });
    // Past the time-out and the next preparation's flush, before its read.
    line.late(1.07);
    Frame pv = templates::pvRead;
    completeRequest(pv, 1);
    EXPECT_EQ(rawExchange(controller, pv, 7).count, 0);
    EXPECT_EQ(pollRegister(controller, reg::svRead), 250);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[1].lateBytesDiscarded);
    EXPECT_EQ(frames[1].reply, (Bytes{0x01, 0x03, 0x02, 0x00, 0xFA, 0x38, 0x07}));
    // A write after a lost read is judged by its own echo too.
    line.late(1.04);
    EXPECT_EQ(rawExchange(controller, pv, 7).count, 0);
    EXPECT_TRUE(writeRegister(controller, reg::setValue, 345).ok());
    link.removeFrameObserver(handle);
}

TEST_F(SessionTest, FrameObserversSeeEveryExchange) {
    std::vector<FrameRecord> frames;
    const int handle = link.addFrameObserver([&](const FrameRecord& f) { frames.push_back(f); });
    line.flipBit(4, 0);
    EXPECT_EQ(pollRegister(controller, reg::pv), 235);
    ASSERT_EQ(frames.size(), 2u);
    const Frame request = {0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA};
    EXPECT_EQ(frames[0].request, request);
    EXPECT_EQ(frames[0].attempt, 1);
    EXPECT_EQ(frames[0].verdict, Fault::damaged);
    EXPECT_EQ(frames[0].reply, (Bytes{0x01, 0x03, 0x02, 0x00, 0xEA, 0xF8, 0x0B}));
    EXPECT_EQ(frames[1].attempt, 2);
    EXPECT_EQ(frames[1].verdict, Fault::none);
    EXPECT_EQ(frames[1].reply, (Bytes{0x01, 0x03, 0x02, 0x00, 0xEB, 0xF8, 0x0B}));
    // The request went out 0.03 s before the reply was read.
    EXPECT_EQ(frames[0].replyEnd - frames[0].sent, std::chrono::milliseconds(30));
    EXPECT_FALSE(frames[0].lateBytesDiscarded);

    link.removeFrameObserver(handle);
    pollRegister(controller, reg::pv);
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_FALSE(link.anyFrameObserver());
}

// The controller tells of its own silence; the line of its lost device.
TEST_F(SessionTest, HealthAndLineEventsTellSilenceAnswersAndALostLine) {
    std::vector<LineEvent> events;
    const auto note = [&](LineEvent e, int port) {
        EXPECT_EQ(port, kPort);
        events.push_back(e);
    };
    const int handle = link.addLineObserver(note);
    const int health = controller.health().addObserver(note);
    line.silent(retry::kSilentExchanges);
    pollRegister(controller, reg::pv); // two silent tries
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(controller.health().silent());
    EXPECT_EQ(pollRegister(controller, reg::pv),
              235); // the third is silent, then it answers
    EXPECT_EQ(events, (std::vector<LineEvent>{LineEvent::silent, LineEvent::answering}));
    EXPECT_EQ(controller.health().lastReply(), lineClock().now());
    const ControllerHealth::Counts counts = controller.health().counts();
    EXPECT_EQ(counts.requests, 4u);
    EXPECT_EQ(counts.replies, 1u);
    EXPECT_EQ(counts.silences, 3u);
    controller.health().removeObserver(health);

    events.clear();
    line.clearLog();
    line.lose();
    Transfer t(controller);
    EXPECT_EQ(t.read(reg::pv).fault, Fault::lineLost);
    EXPECT_TRUE(t.silent()) << "a lost line ends the transfer at once";
    EXPECT_EQ(events, std::vector<LineEvent>{LineEvent::lost});
    EXPECT_FALSE(link.linkUp());
    EXPECT_EQ(link.portStatus(), -1);
    EXPECT_FALSE(comIsOpen(link.port()));
    EXPECT_LT(line.seconds(), 0.1) << "a vanished device fails fast";
    link.removeLineObserver(handle);
}

TEST_F(SessionTest, ProbeTakesOnlyAWholeAnswerOfAKnownModel) {
    std::vector<LineEvent> events;
    const int handle = link.addLineObserver([&](LineEvent e, int) { events.push_back(e); });
    line.setReg(reg::identification, uint16_t('D' << 8 | 9));
    ProbeResult p = controller.probe();
    EXPECT_TRUE(p.answered);
    EXPECT_EQ(p.identification, 9);
    EXPECT_EQ(controller.controllerVariant(), 2);
    EXPECT_EQ(events, std::vector<LineEvent>{LineEvent::connected});

    // Asked once only: a damaged answer ends it, whatever it carries.
    line.clearLog();
    line.flipBit(6, 0);
    p = controller.probe();
    EXPECT_FALSE(p.answered);
    EXPECT_EQ(requests(), std::size_t(retry::kProbeAttempts));
    EXPECT_FALSE(link.linkUp());
    EXPECT_EQ(link.portStatus(), -1);
    EXPECT_EQ(controller.controllerVariant(), 2) << "a failed probe keeps the variant";
    EXPECT_EQ(events, (std::vector<LineEvent>{LineEvent::connected, LineEvent::disconnected}));
    link.removeLineObserver(handle);
}

// Each controller on the line is asked under its own id and keeps its own
// record, scale and write echo.
TEST_F(SessionTest, TwoControllersOnOneLineKeepTheirOwn) {
    Controller a(link), b(link);
    b.setControllerId(2);
    a.setScale(Scale::ofDecimalPoint(1));
    a.parmRecord.sv = 25.5f;
    a.noteHeld(reg::setValue);
    line.setSlaveId(2);
    EXPECT_EQ(Transfer(b).read(reg::pv).value(), 235);
    EXPECT_TRUE(Transfer(b).write(reg::setValue, 300).ok());
    EXPECT_EQ(line.requests(),
              (std::vector<std::string>{"02 03 10 00 00 01 80 F9", "02 06 00 00 01 2C 89 B4"}));
    EXPECT_EQ(b.writeEcho(),
              (std::array<uint8_t, 8>{0x02, 0x06, 0x00, 0x00, 0x01, 0x2C, 0x89, 0xB4}));
    EXPECT_EQ(a.writeEcho(), (std::array<uint8_t, 8>{}));
    EXPECT_EQ(b.scale(), Scale{});
    EXPECT_FALSE(b.isHeld(reg::setValue));
    EXPECT_EQ(b.parmRecord.sv, 0.0f);
    EXPECT_EQ(a.scale(), Scale::ofDecimalPoint(1));
    EXPECT_TRUE(a.isHeld(reg::setValue));
}

TEST_F(SessionTest, BusyGuardHoldsOffAnotherTransaction) {
    std::optional<Transaction> held;
    held.emplace(link);
    // A transaction inside it on the same thread joins it, and leaves it held.
    { const Transaction inner(link, settle::quick); }
    EXPECT_TRUE(link.busy());
    auto read =
        std::async(std::launch::async, [this] { return pollRegister(controller, reg::pv); });
    // The read waits for the line, having sent nothing.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (link.guardWaiters() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(link.guardWaiters(), 1);
    EXPECT_EQ(requests(), 0u);
    held.reset();
    EXPECT_EQ(read.get(), 235);
    EXPECT_EQ(requests(), 1u);
    EXPECT_FALSE(link.busy());
}

} // namespace
