// SIGINT and SIGTERM end the run as the immediate exit does, even with a
// popup open on the control thread or the control thread stuck: the signal
// itself is raised, the real dialogs shown (offscreen).
#include "mainpanel/ids/main_panel.h"
#include "panelkit/callback_registry.h"
#include "panelkit/control_thread.h"
#include "panelkit/message_box.h"
#include "panelkit/run_ending.h"
#include "support/gui_fixture.h"

#include <QApplication>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <thread>

namespace {

std::atomic<int> gQuits{0};
std::atomic<int> gForcedEnds{0};

int recordQuit(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ++gQuits;
    return 0;
}

bool messageBoxShowing() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (dynamic_cast<MessageBox*>(w) && w->isVisible()) return true;
    return false;
}

class RunEnding : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        gQuits = 0;
        gForcedEnds = 0;
        registerCallback("RecordQuit", recordQuit);
        main = load(MainPanel::file);
        controlWidget(main, MainPanel::quitButton)->setProperty("callback", "RecordQuit");
        setSignalQuitHandler(main, MainPanel::quitButton);
        setForcedEnd([] { ++gForcedEnds; }, std::chrono::seconds(30));
    }
    void TearDown() override {
        release = true;
        waitIdle();
        resetRunEnding();
        setForcedEnd({});
        GuiTest::TearDown();
    }
    // Runs on the control thread until released, as a transfer on a silent line does.
    void holdControlThread() {
        std::atomic<bool> started{false};
        postTask([this, &started] {
            started = true;
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        ASSERT_TRUE(waitUntil([&] { return started.load(); }));
    }
    int main = 0;
    std::atomic<bool> release{false};
};

TEST_F(RunEnding, OpenPopupIsAnsweredAsEscapeAndQuitRunsBeforeQueuedEvents) {
    setPopupScript(nullptr);
    std::atomic<int> answer{-1};
    std::atomic<bool> queuedRan{false};
    postTask([&] {
        answer = GenericMessagePopup("Program Ending", "Ending program?", "Ending Program",
                                     "Cancel", "", 2, 1, 2);
    });
    postTask([&] { queuedRan = true; });
    // The GUI loop is inside the dialog from here on; the signal comes there.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&poll] {
        if (!messageBoxShowing()) return;
        poll.stop();
        std::raise(SIGTERM);
    });
    poll.start(5);
    ASSERT_TRUE(waitUntil([] { return gQuits == 1 && servedControlThread()->idle(); }));
    EXPECT_EQ(answer, 2) << "the popup's escape answer";
    EXPECT_FALSE(queuedRan) << "nothing queued runs after the quit";
    EXPECT_FALSE(messageBoxShowing());
    EXPECT_TRUE(runEnding());
    EXPECT_EQ(gForcedEnds, 0);

    // Popups from here on answer at once, without showing.
    EXPECT_EQ(GenericMessagePopup("File Exist!", "?", "Overwrite", "Append", "Exit", 1, 1, 3), 3);
    EXPECT_EQ(MessagePopup("COMMUNICATION ERROR!", "text"), 0);
    std::string path = "unchanged";
    EXPECT_EQ(FileSelectPopup("", "*.dat", "*.dat", "Log", VAL_SAVE_BUTTON, 0, 0, 1, 1, &path),
              VAL_NO_FILE_SELECTED);
    EXPECT_EQ(path, "unchanged");
    postTask([&] { queuedRan = true; });
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(queuedRan) << "the queue stays closed";
}

TEST_F(RunEnding, StuckControlThreadGetsTheForcedEndAfterTheGrace) {
    setForcedEnd([] { ++gForcedEnds; }, std::chrono::milliseconds(50));
    holdControlThread();
    std::raise(SIGINT);
    ASSERT_TRUE(waitUntil([] { return gForcedEnds == 1; }));
    EXPECT_EQ(gQuits, 0);
    release = true;
    ASSERT_TRUE(waitUntil([] { return gQuits == 1 && servedControlThread()->idle(); }));
    EXPECT_EQ(gForcedEnds, 1);
}

TEST_F(RunEnding, SecondSignalEndsAtOnceAndAFinishedQuitNeedsNoForce) {
    holdControlThread();
    std::raise(SIGTERM);
    ASSERT_TRUE(waitUntil([] { return runEnding(); }));
    EXPECT_EQ(gForcedEnds, 0) << "the grace is long";
    std::raise(SIGTERM);
    ASSERT_TRUE(waitUntil([] { return gForcedEnds == 1; }));
    release = true;
    ASSERT_TRUE(waitUntil([] { return gQuits == 1 && servedControlThread()->idle(); }));
    std::raise(SIGTERM); // the quit has run: nothing to force
    ASSERT_TRUE(waitUntil([] { return servedControlThread()->idle(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(gForcedEnds, 1);
    EXPECT_EQ(gQuits, 1);
}

} // namespace
