#include "support/gui_fixture.h"

#include "panelkit/panel_table.h"
#include "panelkit/run_ending.h"

#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QKeyEvent>

#include <thread>

bool waitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

namespace {
template <class T> void setAndCommit(int panel, CtrlId control, const T& value) {
    EXPECT_GE(SetCtrlVal(panel, control, value), 0);
    postCommit(panel, control);
    EXPECT_TRUE(waitIdle());
}
} // namespace

void setValueAndCommit(int p, CtrlId c, int v) {
    setAndCommit(p, c, v);
}
void setValueAndCommit(int p, CtrlId c, double v) {
    setAndCommit(p, c, v);
}
void setValueAndCommit(int p, CtrlId c, const std::string& v) {
    setAndCommit(p, c, v);
}

void typeAndEnter(int panel, CtrlId control, const std::string& text) {
    auto* entry = qobject_cast<QAbstractSpinBox*>(lookupControl(panel, control));
    ASSERT_NE(entry, nullptr) << control;
    entry->selectAll();
    for (char c : text) {
        const int key = c >= '0' && c <= '9' ? Qt::Key_0 + (c - '0')
                        : c == '.'           ? Qt::Key_Period
                        : c == ','           ? Qt::Key_Comma
                        : c == '-'           ? Qt::Key_Minus
                                             : Qt::Key_unknown;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(c)));
        QCoreApplication::sendEvent(entry, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(entry, &enter);
    EXPECT_TRUE(waitIdle());
}

void resetPanels() {
    waitIdle();
    // A test that raised SIGTERM left the run ending and the queue closed.
    resetRunEnding();
    setPopupScript(nullptr);
    discardAllPanels();
    // Let the deferred deletions happen before the next test loads again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* controlWidget(int panel, CtrlId control) {
    return lookupControl(panel, control);
}

void GuiTest::SetUp() {
    popups = PopupScript{};
    setPopupScript(&popups);
}

void GuiTest::TearDown() {
    resetPanels();
}

int GuiTest::load(const char* file, int parent) {
    const int handle = LoadPanel(parent, file, 0);
    EXPECT_GT(handle, 0) << file;
    return handle;
}
