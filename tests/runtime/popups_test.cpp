// The scripted responder stands in for the operator: it sees exactly what the
// operator would and answers in order.
#include "mainpanel/help_texts.h"
#include "panelkit/control_thread.h"
#include "panelkit/message_box.h"
#include "panelkit/prompts.h"
#include "program/help_texts.h"
#include "support/gui_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace {

class Popups : public GuiTest {};

TEST_F(Popups, ScriptRecordsAndAnswersFromTheControlThread) {
    popups.buttons = {2};
    popups.files = {{VAL_NEW_FILE_SELECTED, "/tmp/run1.dat"}};
    int generic = 0, defaulted = 0, file = -1, message = -1;
    std::string path;
    postTask([&] {
        message = MessagePopup("Line status", "Frame\t0\nParity\t1");
        generic =
            GenericMessagePopup("Save?", "Save the parameters?", "Yes", "No", "Cancel", 1, 1, 3);
        defaulted = GenericMessagePopup("Again?", "text", "Yes", "No", "", 1, 1, 2);
        file = FileSelectPopup("/tmp", "*.dat", "*.dat; *.txt", "Data log", VAL_SAVE_BUTTON, 0, 0,
                               1, 1, &path);
    });
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(message, 0);
    EXPECT_EQ(generic, 2);
    EXPECT_EQ(defaulted, 2) << "unscripted generic popup takes its escape button";
    EXPECT_EQ(file, VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, "/tmp/run1.dat");
    ASSERT_EQ(popups.shown.size(), 4u);
    EXPECT_EQ(popups.shown[0].kind, "message");
    EXPECT_EQ(popups.shown[0].title, "Line status");
    EXPECT_EQ(popups.shown[0].text, "Frame\t0\nParity\t1");
    EXPECT_EQ(popups.shown[1].kind, "generic");
    EXPECT_EQ(popups.shown[1].text, "Save the parameters?");
    EXPECT_EQ(popups.shown[3].kind, "file");
    EXPECT_EQ(popups.shown[3].title, "Data log");
}

// The prompts object asks and is answered later: from the control thread the
// calls return at once, the answers come in order on the GUI thread, and a
// receiver gone by then hears nothing.
TEST_F(Popups, PromptsAnswerLaterAndOnlyAReceiverStillThere) {
    popups.buttons = {2};
    popups.files = {{VAL_NEW_FILE_SELECTED, "/tmp/run1.dat"}};
    Prompts prompts;
    QObject panel;
    auto gone = std::make_unique<QObject>();
    std::vector<std::string> got;
    postTask([&] {
        prompts.tell("Line status", "Frame\t0", &panel, [&] { got.push_back("told"); });
        prompts.ask({"Save?", "Save the parameters?", {"Yes", "No", "Cancel"}, 1, 1, 3}, &panel,
                    [&](int n) { got.push_back("button " + std::to_string(n)); });
        prompts.ask({"Again?", "text", {"Yes", "No"}, 1, 1, 2}, gone.get(),
                    [&](int) { got.push_back("to a receiver gone"); });
        prompts.chooseFile({"Data log", "/tmp", "*.dat", "*.dat; *.txt", VAL_SAVE_BUTTON}, &panel,
                           [&](std::optional<std::string> path) {
                               got.push_back("file " + path.value_or("none"));
                           });
        prompts.chooseFile({"Load", "", "*.prm", "*.prm", VAL_LOAD_BUTTON}, &panel,
                           [&](std::optional<std::string> path) {
                               got.push_back("file " + path.value_or("none"));
                           });
    });
    // The GUI thread serves nothing meanwhile: asking must not wait for it.
    for (int n = 0; n < 10000 && !servedControlThread()->idle(); ++n)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(servedControlThread()->idle()) << "the logic waited for an answer";
    EXPECT_TRUE(got.empty());
    gone.reset();
    ASSERT_TRUE(waitUntil([&] { return got.size() == 4; }));
    EXPECT_EQ(got,
              (std::vector<std::string>{"told", "button 2", "file /tmp/run1.dat", "file none"}));
    ASSERT_EQ(popups.shown.size(), 5u);
    EXPECT_EQ(popups.shown[0].kind, "message");
    EXPECT_EQ(popups.shown[1].text, "Save the parameters?");
    EXPECT_EQ(popups.shown[2].title, "Again?");
    EXPECT_EQ(popups.shown[3].kind, "file");
    EXPECT_EQ(popups.shown[3].title, "Data log");
}

TEST_F(Popups, UnscriptedFileSelectionCancels) {
    std::string path = "unchanged";
    EXPECT_EQ(FileSelectPopup("", "*.prm", "*.prm", "Load", VAL_LOAD_BUTTON, 0, 0, 1, 0, &path),
              VAL_NO_FILE_SELECTED);
    EXPECT_EQ(path, "unchanged");
}

} // namespace

namespace {

// Real dialogs. A modal dialog runs its own event loop nested inside the
// test's wait, so the test answers it from a timer inside that loop.
class RealPopups : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        setPopupScript(nullptr);
    }
    // Runs act on the first modal T that shows up, from within its event loop.
    template <class T> void whenShown(std::function<void(T*)> act) {
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
            if (auto* w = dynamic_cast<T*>(QApplication::activeModalWidget())) {
                poll->stop();
                poll->deleteLater();
                act(w);
            }
        });
        poll->start(5);
    }
};

TEST_F(RealPopups, MessageShowsTextVerbatimAndWaits) {
    std::atomic<bool> done{false};
    const std::string text = "Frame\t0\n<b>Parity</b>\t1";
    bool seen = false;
    whenShown<MessageBox>([&](MessageBox* box) {
        seen = true;
        EXPECT_EQ(box->windowTitle(), "Line status");
        EXPECT_EQ(box->text().toStdString(), text);
        EXPECT_FALSE(done.load()) << "the logic must wait for the operator";
        box->accept();
    });
    postTask([&] {
        MessagePopup("Line status", text);
        done = true;
    });
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(seen);
    EXPECT_TRUE(done.load());
}

TEST_F(RealPopups, GenericEnterAndEscapePickTheirButtons) {
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Escape)}) {
        std::atomic<int> answer{0};
        whenShown<MessageBox>([key](MessageBox* box) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &press);
        });
        postTask(
            [&] { answer = GenericMessagePopup("Q", "Save?", "Yes", "No", "Cancel", 2, 1, 3); });
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(answer.load(), key == Qt::Key_Return ? 1 : 3);
    }
}

// A prompt's box is the popups' own, opened without blocking anyone: the
// answer is the button the operator pressed, once pressed.
TEST_F(RealPopups, PromptAnswersWhenTheOperatorDoes) {
    Prompts prompts;
    QObject panel;
    int answer = 0;
    prompts.ask({"Q", "Save?", {"Yes", "No", "Cancel"}, 2, 1, 3}, &panel,
                [&](int n) { answer = n; });
    MessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        return (box = dynamic_cast<MessageBox*>(QApplication::activeModalWidget())) != nullptr;
    }));
    EXPECT_EQ(box->text(), "Save?");
    EXPECT_EQ(answer, 0) << "no answer before the operator's";
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &press);
    ASSERT_TRUE(waitUntil([&] { return answer != 0; }));
    EXPECT_EQ(answer, 3);
}

// A help text reads in order where the operator sees it: its own words,
// tabs and all; each of its lines one line on screen, top to bottom; the
// words of a line left to right. The texts indent with runs of tabs, which
// a box that wraps breaks into a column of words of their own.
TEST_F(RealPopups, HelpTextsReadInOrder) {
    const std::string texts[] = {helptext::mode, findHelp("SetAlarmMode1")->text,
                                 findHelp("HiLoOfSetHelp")->text};
    for (const std::string& text : texts) {
        whenShown<MessageBox>([&](MessageBox* box) {
            QTextEdit* view = box->textView();
            EXPECT_EQ(view->toPlainText().toStdString(), text);
            int lineTop = -1;
            for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next()) {
                const QString line = b.text();
                int top = -1, left = -1;
                for (int i = 0; i < line.size(); ++i) {
                    if (line[i].isSpace() || (i > 0 && !line[i - 1].isSpace())) continue;
                    QTextCursor at(b);
                    at.setPosition(b.position() + i);
                    const QRect r = view->cursorRect(at);
                    if (top < 0) {
                        EXPECT_GT(r.top(), lineTop) << "lines out of order at: " << line.mid(i).toStdString();
                        top = r.top();
                    }
                    EXPECT_EQ(r.top(), top) << "line broken at: " << line.mid(i).toStdString();
                    EXPECT_GT(r.left(), left) << "word out of order: " << line.mid(i).toStdString();
                    left = r.left();
                }
                if (top >= 0) lineTop = top;
            }
            box->accept();
        });
        postTask([&] { MessagePopup("Help", text); });
        ASSERT_TRUE(waitIdle());
    }
}

TEST_F(RealPopups, SaveDialogTakesANewName) {
    // A folder of its own: the shared /tmp, where other tests make and
    // remove files all the while, keeps the dialog's folder view busy.
    const QTemporaryDir own;
    ASSERT_TRUE(own.isValid());
    const QString dir = own.path();
    const QString fresh = QDir(dir).filePath("q7_no_such_file_here.dat");
    std::atomic<int> result{-1};
    std::string path;
    whenShown<QFileDialog>([&](QFileDialog* dlg) {
        EXPECT_EQ(dlg->windowTitle(), "Data log");
        EXPECT_EQ(dlg->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dlg->nameFilters(), (QStringList{"*.dat", "*.txt"}));
        EXPECT_EQ(dlg->labelText(QFileDialog::Accept), "Save");
        dlg->selectFile(fresh);
        static_cast<QDialog*>(dlg)->accept(); // as the Save button does
    });
    postTask([&] {
        result = FileSelectPopup(dir.toStdString(), "*.dat", "*.dat; *.txt", "Data log",
                                 VAL_SAVE_BUTTON, 0, 0, 1, 0, &path);
    });
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(result.load(), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(path, fresh.toStdString());
}

} // namespace
