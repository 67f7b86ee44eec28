// The Connection dialog against the simulated controller: Test probes with
// its settings beside the live connection, OK keeps them in DftCom.prm, and a
// file's baud rate the line does not run at is told and mended there.
#include "connection/panel/connection.h"
#include "connection/panel/connection_dialog.h"
#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/main_panel_view.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"
#include "widgets/ring.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace {

class ConnectionDialogTest : public ControllerTest {
  protected:
    void SetUp() override {
        simOptions.timeScale = 0.0; // PV stays where a test puts it
        ControllerTest::SetUp();
    }
    ConnectionDialog& dialog() { return objects().connectionDialog; }
    template <class W> W& in(const char* name) {
        W* w = dialog().findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return *w;
    }
    std::string result() { return in<QLabel>("testResult").text().toStdString(); }
    void choose(int port, int baud, int parity, int stopBits, int id) {
        in<Ring>("portRing").showCode(port);
        in<Ring>("baudRing").showCode(baud);
        in<Ring>("parityRing").showCode(parity);
        in<Ring>("stopBitsRing").showCode(stopBits);
        in<QSpinBox>("idNumeric").setValue(id);
    }
    // Clicks a button of the dialog and waits for what it asked of the control thread.
    void click(const char* button) {
        QTest::mouseClick(&in<QPushButton>(button), Qt::LeftButton);
        ASSERT_TRUE(waitIdle());
    }
};

} // namespace

TEST_F(ConnectionDialogTest, TestProbesAndOkKeepsEveryField) {
    sim->setReg(0x1F00, uint16_t('@' << 8 | 7));
    commit(MainPanel::handle, MainPanel::connectionButton);
    ASSERT_TRUE(dialog().isVisible());
    // One stop bit; a pseudo-terminal takes no parity, so none.
    choose(kSimPort, 9600, 0, 1, 5); // no controller 5 on the line
    click("testButton");
    EXPECT_EQ(result(), "No reply from controller 5.");

    choose(kSimPort, 9600, 0, 1, 1);
    click("testButton");
    EXPECT_EQ(result(), "Controller 1 answers: model @, identification 7.");
    EXPECT_FALSE(fileExists("DftCom.prm")) << "Test keeps nothing";

    click("okButton");
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_TRUE(line().linkUp());
    EXPECT_EQ(line().baudRate(), 9600);
    EXPECT_EQ(readFile("DftCom.prm"), "3, 9600, 1, 0, 1");

    // Read back as the program starts: every field, the frame included.
    line().reset();
    runOnControlThread([this] { RdComFile(objects().connection); });
    EXPECT_EQ(line().baudRate(), 9600);
    EXPECT_EQ(line().stopBits(), 1);
}

TEST_F(ConnectionDialogTest, ABadBaudRateOrIdIsToldAndMendedInTheDialog) {
    // An id cut to 8 bits would reach controller 1: it is never used.
    writeFile("DftCom.prm", "3, 19200, 257");
    runOnControlThread([this] { connectAtStartUp(objects().connection); });
    ASSERT_EQ(popupTitles(), std::vector<std::string>{"Controller ID Not Usable"});
    EXPECT_EQ(sim->requestCount(), 0);
    EXPECT_FALSE(line().linkUp());
    ASSERT_TRUE(dialog().isVisible());
    click("cancelButton");

    popups.shown.clear();
    writeFile("DftCom.prm", "3, 12345, 1");
    runOnControlThread([this] { connectAtStartUp(objects().connection); });
    ASSERT_EQ(popupTitles(), std::vector<std::string>{"Baud Rate Not Usable"});
    EXPECT_EQ(popups.shown[0].text,
              "DftCom.prm holds the baud rate \"12345\", which is not one the line runs at "
              "(1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200).\nChoose the baud rate in "
              "the Connection dialog; OK keeps it.");
    EXPECT_EQ(sim->requestCount(), 0) << "nothing is tried at a rate the file did not mean";

    ASSERT_TRUE(dialog().isVisible());
    in<Ring>("baudRing").showCode(19200);
    click("okButton");
    EXPECT_TRUE(line().linkUp());
    EXPECT_EQ(readFile("DftCom.prm"), "3, 19200, 1");
}

// Test asks on the side: an id that does not answer, at the line's settings
// or at others on the same port, leaves the main panel connected to its own
// controller, showing its id, and polling its PV.
TEST_F(ConnectionDialogTest, TestLeavesTheLiveConnectionAsItWas) {
    connect(1);
    ASSERT_EQ(led(), 1);
    SetCtrlAttribute(MainPanel::handle, MainPanel::pvPollTimer, ATTR_INTERVAL, 3600);
    setValueAndCommit(MainPanel::handle, MainPanel::pvReadSwitch, 1);
    commit(MainPanel::handle, MainPanel::connectionButton);
    for (int baud : {19200, 9600}) {
        choose(kSimPort, baud, 0, 2, 5); // no controller 5 on the line
        click("testButton");
        EXPECT_EQ(result(), "No reply from controller 5.") << baud;
        EXPECT_TRUE(line().linkUp()) << baud;
        EXPECT_EQ(led(), 1) << baud;
        EXPECT_FALSE(pvDimmed()) << baud;
        EXPECT_EQ(controller().controllerId(), 1) << baud;
        EXPECT_EQ(MainPanelView::idEntered(), 1) << baud;

        const int16_t pv = baud == 19200 ? 321 : 123;
        sim->setReg(0x1000, uint16_t(pv));
        sim->clearRequestLog();
        postTick(MainPanel::handle, MainPanel::pvPollTimer);
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 03 10 00 00 01 80 CA"}) << baud;
        EXPECT_DOUBLE_EQ(shownPv(), controller().scale().toValue(pv)) << baud;
    }
    click("cancelButton");
    EXPECT_EQ(readFile("DftCom.prm"), "3, 19200, 1") << "Test keeps nothing";
}
