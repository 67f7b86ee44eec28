// Operator events reach the callbacks on the control thread, once, in order;
// the logic's own writes never look like operator input.
#include "mainpanel/ids/main_panel.h"
#include "panelkit/panel_table.h"
#include "recorder.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>

#include <atomic>
#include <csignal>

namespace {

class ControlEvents : public RecordingTest {
  protected:
    void SetUp() override {
        RecordingTest::SetUp();
        main = load(MainPanel::file);
    }
    int main = 0;
};

TEST_F(ControlEvents, PostedEventsRunOnTheControlThreadInOrder) {
    postCommit(main, MainPanel::idNumeric);
    postRightClick(main, MainPanel::aboutButton);
    postTick(main, MainPanel::pvPollTimer);
    ASSERT_TRUE(waitIdle());
    const auto got = Recorder::take();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].control, "idNumeric");
    EXPECT_EQ(got[0].event, EVENT_COMMIT);
    EXPECT_EQ(got[1].control, "aboutButton");
    EXPECT_EQ(got[1].event, EVENT_RIGHT_CLICK);
    EXPECT_EQ(got[2].control, "pvPollTimer");
    EXPECT_EQ(got[2].event, EVENT_TIMER_TICK);
    for (const Delivery& d : got) {
        EXPECT_EQ(d.panel, main);
        EXPECT_TRUE(d.onControlThread);
    }
}

TEST_F(ControlEvents, WaitingTicksOfOneTimerCoalesce) {
    std::atomic<bool> release{false};
    std::atomic<bool> started{false};
    postTask([&] {
        started = true;
        while (!release)
            std::this_thread::yield();
    });
    ASSERT_TRUE(waitUntil([&] { return started.load(); }));
    for (int i = 0; i < 50; ++i)
        postTick(main, MainPanel::pvPollTimer);
    postCommit(main, MainPanel::aboutButton); // other events still queue behind it
    release = true;
    ASSERT_TRUE(waitIdle());
    auto got = Recorder::take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].event, EVENT_TIMER_TICK);
    EXPECT_EQ(got[1].control, "aboutButton");
    // Once the waiting tick has run, the timer may queue again.
    postTick(main, MainPanel::pvPollTimer);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Recorder::take().size(), 1u);
}

TEST_F(ControlEvents, RunningTimerTicksIntoItsCallback) {
    SetCtrlAttribute(main, MainPanel::pvPollTimer, ATTR_INTERVAL, 0.01);
    SetCtrlAttribute(main, MainPanel::pvPollTimer, ATTR_ENABLED, 1);
    EXPECT_TRUE(waitUntil([] { return !Recorder::take().empty(); }));
    SetCtrlAttribute(main, MainPanel::pvPollTimer, ATTR_ENABLED, 0);
}

TEST_F(ControlEvents, LogicWritesDoNotFireCallbacks) {
    postTask([this] {
        SetCtrlVal(main, MainPanel::idNumeric, 17);
        SetCtrlVal(main, MainPanel::portSelector, 5);
        SetCtrlVal(main, MainPanel::connectionLed, 1);
    });
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(Recorder::take().empty());
    // Tabbing out of the field afterwards is no commit either: the value is the logic's.
    auto* spin = qobject_cast<QSpinBox*>(controlWidget(main, MainPanel::idNumeric));
    ASSERT_NE(spin, nullptr);
    emit spin->editingFinished();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(Recorder::take().empty());
}

TEST_F(ControlEvents, EntryCommitsOnChangeOrEnterOnly) {
    auto* spin = qobject_cast<QSpinBox*>(controlWidget(main, MainPanel::idNumeric));
    ASSERT_NE(spin, nullptr);
    spin->setValue(42); // as if typed
    emit spin->editingFinished();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Recorder::take().size(), 1u);
    emit spin->editingFinished(); // focus leaves again, nothing changed
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(Recorder::take().empty());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(spin, &enter); // Enter re-commits the same value
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(Recorder::take().size(), 1u);
}

// A typed value the entry cannot hold is refused with a message; the entry
// keeps its value and no commit follows, then or when the focus leaves.
TEST_F(ControlEvents, UnfitTypedValueIsRefusedVisiblyAndNotCommitted) {
    SetCtrlVal(main, MainPanel::idNumeric, 12);
    typeAndEnter(main, MainPanel::idNumeric, "300");
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Entry Refused");
    EXPECT_NE(popups.shown[0].text.find("\"300\""), std::string::npos) << popups.shown[0].text;
    int id = 0;
    GetCtrlVal(main, MainPanel::idNumeric, &id);
    EXPECT_EQ(id, 12);
    emit qobject_cast<QSpinBox*>(controlWidget(main, MainPanel::idNumeric))->editingFinished();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(Recorder::take().empty());

    typeAndEnter(main, MainPanel::idNumeric, "40"); // a fitting value still commits
    GetCtrlVal(main, MainPanel::idNumeric, &id);
    EXPECT_EQ(id, 40);
    EXPECT_EQ(Recorder::take().size(), 1u);
    EXPECT_EQ(popups.shown.size(), 1u);
}

TEST_F(ControlEvents, ButtonClickAndRightClickEvenWhenDimmed) {
    auto* about = qobject_cast<QPushButton*>(controlWidget(main, MainPanel::aboutButton));
    ASSERT_NE(about, nullptr);
    about->click();
    ASSERT_EQ(SetCtrlAttribute(main, MainPanel::aboutButton, ATTR_DIMMED, 1), 0);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(about, &press);
    ASSERT_TRUE(waitIdle());
    const auto got = Recorder::take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].event, EVENT_COMMIT);
    EXPECT_EQ(got[1].event, EVENT_RIGHT_CLICK);
}

TEST_F(ControlEvents, CloseBoxRunsTheExitCallbackAndKeepsTheWindow) {
    DisplayPanel(main);
    QCloseEvent close;
    QCoreApplication::sendEvent(panelRoot(main), &close);
    EXPECT_FALSE(close.isAccepted());
    ASSERT_TRUE(waitIdle());
    const auto got = Recorder::take();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].control, "exitButton");
    EXPECT_EQ(got[0].event, EVENT_COMMIT);
    EXPECT_TRUE(panelRoot(main)->isVisible());
}

TEST_F(ControlEvents, PanelCallsFromTheControlThreadRunOnTheGui) {
    // Many round trips while the GUI loop only turns inside waitIdle: none may hang.
    std::atomic<int> sum{0};
    postTask([&] {
        for (int i = 1; i <= 200; ++i) {
            SetCtrlVal(main, MainPanel::idNumeric, i);
            int v = 0;
            GetCtrlVal(main, MainPanel::idNumeric, &v);
            sum += v;
        }
    });
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(sum.load(), 200 * 201 / 2);
}

TEST_F(ControlEvents, UnknownControlsComplainButNeverCrash) {
    postCommit(main, "noSuchButton");
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(Recorder::take().empty());
    int v = 0;
    EXPECT_EQ(GetCtrlVal(main, "noSuchButton", &v), kPanelNoControl);
    EXPECT_EQ(SetCtrlVal(main, "noSuchButton", 1), kPanelNoControl);
    EXPECT_EQ(SetCtrlAttribute(main, "noSuchButton", ATTR_DIMMED, 1), kPanelNoControl);
    EXPECT_EQ(SetCtrlVal(999, MainPanel::idNumeric, 1), kPanelNoControl);
}

} // namespace

namespace {

TEST_F(ControlEvents, TerminationSignalCommitsTheNamedControl) {
    setSignalQuitHandler(main, MainPanel::quitButton);
    ::raise(SIGTERM);
    ASSERT_TRUE(waitUntil([] {
        for (const Delivery& d : Recorder::take())
            if (d.control == "quitButton" && d.event == EVENT_COMMIT) return true;
        return false;
    }));
}

} // namespace
