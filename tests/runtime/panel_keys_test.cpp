// The keyboard and the mouse as an operator uses them: right clicks reach the
// help even on entries, shortcuts press their buttons, Tab walks the groups.
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/chart_yscale_panel.h"
#include "chart/panel/ids/log_setup_panel.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/control_session.h"
#include "panelkit/control_thread.h"
#include "panelkit/panel_table.h"
#include "pid/panel/ids/pid_panel.h"
#include "program/panel/ids/step_program_panel.h"
#include "recorder.h"
#include "service/eng_code_panel.h"
#include "service/ids/debug_panel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTest>

namespace {

class PanelKeys : public RecordingTest {
  protected:
    void SetUp() override {
        RecordingTest::SetUp();
        for (const char* name : {"ReadAllParm", "WriteAllParm", "SetSVParm", "SetCF"})
            registerCallback(name, &Recorder::callback);
        main = load(MainPanel::file);
        DisplayPanel(main);
        QWidget* window = panelRoot(main);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    std::vector<std::string> delivered(int event) {
        waitIdle();
        std::vector<std::string> names;
        for (const Delivery& d : Recorder::take())
            if (d.event == event) names.push_back(d.control);
        return names;
    }
    bool anyMenuShown() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QMenu*>(w) && w->isVisible()) return true;
        return QApplication::activePopupWidget() != nullptr;
    }
    // A right click as the window system delivers it: press and release on
    // the window, which is also where Qt makes its context-menu request.
    void rightClickAt(QWidget* target) {
        QWidget* window = target->window();
        const QPoint at = target->mapTo(window, target->rect().center());
        QTest::mouseClick(window->windowHandle(), Qt::RightButton, {}, at);
    }
    int main = 0;
};

} // namespace

TEST_F(PanelKeys, RightClickOnAnEntryOrRingShowsHelpNotItsOwnMenu) {
    for (CtrlId control : {MainPanel::svEntry, MainPanel::unitRing}) {
        QWidget* w = controlWidget(main, control);
        SetCtrlAttribute(main, control, ATTR_DIMMED, 0);
        rightClickAt(w);
        EXPECT_EQ(delivered(EVENT_RIGHT_CLICK), std::vector<std::string>{std::string(control)});
        EXPECT_FALSE(anyMenuShown()) << control;
        if (auto* ring = qobject_cast<QComboBox*>(w)) {
            EXPECT_FALSE(ring->view()->isVisible()) << "a right click does not drop the list";
        }
    }
}

TEST_F(PanelKeys, ShortcutsPressTheirButtonsOnlyWhenTheButtonIsLive) {
    QWindow* window = panelRoot(main)->windowHandle();
    QTest::keyClick(window, Qt::Key_F5);
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(delivered(EVENT_COMMIT).empty()) << "no reading or saving before a connection";

    SetCtrlAttribute(main, MainPanel::readButton, ATTR_DIMMED, 0);
    SetCtrlAttribute(main, MainPanel::saveFileButton, ATTR_DIMMED, 0);
    QTest::keyClick(window, Qt::Key_F5);
    ASSERT_TRUE(waitUntil([&] { return !delivered(EVENT_COMMIT).empty(); }));
    QTest::keyClick(window, Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] {
        const auto got = delivered(EVENT_COMMIT);
        return got == std::vector<std::string>{"saveFileButton"};
    }));
    QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] {
        const auto got = delivered(EVENT_COMMIT);
        return got == std::vector<std::string>{"exitButton"};
    })) << "Ctrl+Q ends the run the controlled way";
}

namespace {

// Where the control sits in its group's grid, or -1s outside a grid.
std::pair<int, int> cellOf(QWidget* w, QGroupBox* group) {
    for (QGridLayout* grid : group->findChildren<QGridLayout*>()) {
        const int i = grid->indexOf(w);
        if (i < 0) continue;
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(i, &row, &column, &rows, &columns);
        return {row, column};
    }
    if (auto* grid = qobject_cast<QGridLayout*>(group->layout())) {
        const int i = grid->indexOf(w);
        if (i >= 0) {
            int row = 0, column = 0, rows = 0, columns = 0;
            grid->getItemPosition(i, &row, &column, &rows, &columns);
            return {row, column};
        }
    }
    return {-1, -1};
}

QGroupBox* groupOf(QWidget* w) {
    for (QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (auto* g = qobject_cast<QGroupBox*>(p)) return g;
    return nullptr;
}

} // namespace

// Tab leaves a group only once every control in it has had its turn, and
// inside a grid it goes row by row, left to right.
TEST_F(PanelKeys, TabWalksEachGroupWholeAndInReadingOrder) {
    for (const char* file :
         {MainPanel::file, DebugPanel::file, ChartPanel::file, ChartYscalePanel::file,
          StepProgramPanel::file, LogSetupPanel::file, PidPanel::file, "eng_code.ui"}) {
        SCOPED_TRACE(file);
        // The engineering code popup is a class of its own.
        ControlThread control;
        ControlSession session(control);
        EngCodePanel engCode(session);
        QWidget* root = std::string(file) == "eng_code.ui"
                            ? &engCode
                            : panelRoot(file == MainPanel::file ? main : load(file));
        std::vector<QWidget*> chain;
        for (QWidget* w = root->nextInFocusChain(); w != root; w = w->nextInFocusChain())
            if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() && w->isWindow() == false &&
                !qobject_cast<QLineEdit*>(w))
                chain.push_back(w);
        ASSERT_FALSE(chain.empty());
        std::vector<QGroupBox*> left;
        QGroupBox* current = nullptr;
        std::pair<int, int> lastCell{-1, -1};
        for (QWidget* w : chain) {
            QGroupBox* g = groupOf(w);
            if (g != current) {
                EXPECT_EQ(std::count(left.begin(), left.end(), g), 0)
                    << qPrintable(w->objectName()) << " comes back to a group Tab already left";
                if (current) left.push_back(current);
                current = g;
                lastCell = {-1, -1};
            }
            if (!g) continue;
            const auto cell = cellOf(w, g);
            if (cell.first < 0) continue;
            EXPECT_GE(cell, lastCell) << qPrintable(w->objectName()) << " out of reading order";
            lastCell = cell;
        }
    }
}
