#include "mainpanel/ids/main_panel.h"
#include "service/eng_code_panel.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QWidget>

namespace {

bool dimmed(CtrlId button) {
    double v = -1;
    GetCtrlAttribute(MainPanel::handle, button, ATTR_DIMMED, &v);
    return v != 0;
}

bool engineeringLevel() {
    const bool debug = !dimmed(MainPanel::debugButton);
    EXPECT_EQ(debug, !dimmed(MainPanel::pidButton)) << "the two buttons must move together";
    return debug;
}

class EngAccessTest : public ControllerTest {
  protected:
    EngCodePanel& panel() { return objects().engCode; }
    QSpinBox* code() { return panel().findChild<QSpinBox*>("codeNumeric"); }
    bool codePopupShown() { return panel().isVisible(); }
    // Opens the code popup as the operator does, with a right click on About.
    void openPopup() {
        rightClick(MainPanel::handle, MainPanel::aboutButton);
        ASSERT_TRUE(waitUntil([this] { return codePopupShown(); }));
    }
    // Opens the code popup, types code and presses OK (or Cancel).
    void enter(int code, const char* button = "okButton") {
        openPopup();
        this->code()->setValue(code);
        QTest::mouseClick(panel().findChild<QPushButton*>(button), Qt::LeftButton);
        ASSERT_TRUE(waitIdle());
        EXPECT_FALSE(codePopupShown());
    }
};

} // namespace

TEST_F(EngAccessTest, OnlyTheAccessCodeUnlocksAndNothingLocksAgain) {
    EXPECT_FALSE(engineeringLevel()) << "every run starts at the user level";

    enter(461);
    EXPECT_FALSE(engineeringLevel());
    enter(4620);
    EXPECT_FALSE(engineeringLevel());
    enter(462, "cancelButton");
    EXPECT_FALSE(engineeringLevel()) << "cancel never checks the code";

    enter(462);
    EXPECT_TRUE(engineeringLevel());
    EXPECT_EQ(code()->value(), 0) << "the code must not wait in the popup for the next person";

    enter(1);
    EXPECT_TRUE(engineeringLevel()) << "a later wrong code keeps the level";
    EXPECT_TRUE(popups.shown.empty()) << "a wrong code closes silently";
}

// The code is typed and sent with Enter, as at any prompt, and nobody
// looking over the shoulder sees it.
TEST_F(EngAccessTest, EnterSendsTheMaskedCode) {
    openPopup();
    auto* edit = code()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, "462");
    EXPECT_EQ(edit->displayText().count(QChar('4')) + edit->displayText().count(QChar('6')), 0)
        << qPrintable(edit->displayText());
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_TRUE(waitUntil([this] { return !codePopupShown(); }));
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(engineeringLevel());
}

TEST_F(EngAccessTest, HelpTextsAtTheUserLevel) {
    const std::string nonUser =
        "Protocol & PID panel are not user level suported.\n\t\t\t\tThese functions cannot be "
        "open.\n";
    commit(MainPanel::handle, MainPanel::nonUserHelp);
    rightClick(MainPanel::handle, MainPanel::nonUserHelp);
    rightClick(MainPanel::handle, MainPanel::debugButton);
    rightClick(MainPanel::handle, MainPanel::pidButton);
    ASSERT_EQ(popups.shown.size(), 4u);
    for (int i : {0, 1}) {
        EXPECT_EQ(popups.shown[i].title, "Non-User Level Help");
        EXPECT_EQ(popups.shown[i].text, nonUser);
    }
    EXPECT_EQ(popups.shown[2].title, "<Debug> Help");
    EXPECT_EQ(popups.shown[2].text, "Debug panel does not open for user level.");
    EXPECT_EQ(popups.shown[3].title, "<PID> Help");
    EXPECT_EQ(popups.shown[3].text, "PID Panel does not open for user level.");
}
