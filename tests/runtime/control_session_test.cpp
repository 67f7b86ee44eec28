// A panel's requests run on the control thread and their results come back
// to the GUI thread queued: the GUI never waits, a result for a panel that is
// gone is dropped, and a timer's waiting tick drops the next one.
#include "panelkit/control_session.h"
#include "support/gui_fixture.h"

#include <QThread>

#include <future>
#include <memory>
#include <string>

namespace {

// Holds the control thread until opened, so what is queued behind stays queued.
struct HeldControl {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    std::function<void()> hold() {
        return [f = opened] { f.wait(); };
    }
};

} // namespace

TEST(ControlSession, ResultsComeBackQueuedToTheGuiAndOnlyToAReceiverStillThere) {
    ControlSession session(*servedControlThread());
    HeldControl gate;
    session.post(gate.hold());
    QObject panel;
    auto gone = std::make_unique<QObject>();
    std::vector<std::string> got;
    std::atomic<bool> workedOnControl{false};
    session.ask(
        &panel,
        [&] {
            workedOnControl = servedControlThread()->isCurrent();
            return std::string("first");
        },
        [&](std::string s) {
            EXPECT_EQ(QThread::currentThread(), panel.thread());
            got.push_back(std::move(s));
        });
    session.ask(
        gone.get(), [] { return 2; }, [&](int) { got.push_back("to a panel gone"); });
    session.ask(
        &panel, [] {}, [&] { got.push_back("done"); });
    // The requests returned with the control thread held: nothing waited on it.
    EXPECT_TRUE(got.empty());
    gone.reset();
    gate.open.set_value();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(workedOnControl);
    EXPECT_EQ(got, (std::vector<std::string>{"first", "done"}));
}

TEST(ControlSession, AWaitingTickDropsTheNextOneOfItsTimer) {
    ControlSession session(*servedControlThread());
    HeldControl gate;
    session.post(gate.hold());
    const int timer = 0, other = 0;
    std::atomic<int> ticks{0};
    EXPECT_TRUE(session.tick(&timer, [&] { ++ticks; }));
    EXPECT_FALSE(session.tick(&timer, [&] { ++ticks; }));
    EXPECT_TRUE(session.tick(&other, [&] { ++ticks; }));
    gate.open.set_value();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(ticks, 2);
    EXPECT_TRUE(session.tick(&timer, [&] { ++ticks; })) << "a tick that ran lets the next queue";
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(ticks, 3);
}
