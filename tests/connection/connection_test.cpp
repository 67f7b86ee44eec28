#include "connection/panel/connection.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/wait_popup.h"
#include "params/params_state.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "support/controller_fixture.h"

#include <algorithm>
#include <functional>

namespace {

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

int mainInt(CtrlId control) {
    int v = -1;
    GetCtrlVal(MainPanel::handle, control, &v);
    return v;
}

} // namespace

TEST_F(ControllerTest, ProbeTellsVariantSavesSettingsAndRemovesWaitPopup) {
    sim->setReg(0x1F00, uint16_t('@' << 8 | 7));
    connect(1);
    EXPECT_EQ(controller().controllerVariant(), 1);
    EXPECT_TRUE(line().linkUp());
    EXPECT_GE(line().portStatus(), 0);
    EXPECT_EQ(mainInt(MainPanel::identificationDisplay), 7);
    EXPECT_EQ(readFile("DftCom.prm"), "3, 19200, 1");
    EXPECT_FALSE(waitPopupShown());
    EXPECT_TRUE(popups.shown.empty());

    sim->setReg(0x1F00, uint16_t('D' << 8 | 9));
    connect(1); // selecting the port again reconnects on the open port
    EXPECT_EQ(controller().controllerVariant(), 2);
    EXPECT_EQ(mainInt(MainPanel::identificationDisplay), 9);
}

TEST_F(ControllerTest, SimulatedConnectionLeavesTheLastRealOneInTheFile) {
    writeFile("DftCom.prm", "5, 9600, 2");
    clearComMap();
    setSimulatedDevice(sim->devicePath()); // as under --simulate: COM 3 reaches it
    connect(1);
    EXPECT_TRUE(line().linkUp());
    EXPECT_EQ(readFile("DftCom.prm"), "5, 9600, 2");
}

TEST_F(ControllerTest, SilentControllerGivesCommunicationErrorAndKeepsFile) {
    writeFile("DftCom.prm", "3 19200 1");
    sim->dropReplies(1);
    connect(1);
    EXPECT_TRUE(contains(popupTitles(), "COMMUNICATION ERROR!"));
    EXPECT_EQ(line().portStatus(), -1);
    EXPECT_FALSE(line().linkUp());
    EXPECT_EQ(controller().controllerVariant(), 0);
    EXPECT_EQ(readFile("DftCom.prm"), "3 19200 1");
    ASSERT_FALSE(popups.shown.empty());
    EXPECT_EQ(popups.shown.back().text.find("Communication error between PC & Controller!\n"), 0u);
}

TEST_F(ControllerTest, WrongModelCodeIsACommunicationError) {
    sim->setReg(0x1F00, uint16_t('X' << 8 | 1));
    connect(1);
    EXPECT_TRUE(contains(popupTitles(), "COMMUNICATION ERROR!"));
    EXPECT_FALSE(fileExists("DftCom.prm"));
}

// Each of these replies carries '@' where the model code would be: the
// exception 01 83 04 40 F3 in its CRC, the others in byte 3.
TEST_F(ControllerTest, ProbeTakesTheModelCodeOnlyFromItsOwnWholeReply) {
    sim->setReg(0x1F00, uint16_t('@' << 8 | 7));
    const std::function<void()> faults[] = {
        [&] { sim->exceptionNext(4); }, [&] { sim->wrongSlaveNext(2); },
        [&] { sim->flipBit(6, 0); }, // CRC low byte
    };
    // Each is named: something answered, and a cable is not what to check.
    const char* named[] = {"exception 04 (slave device failure)",
                           "a reply from slave 2, not from id 1",
                           "a damaged reply (bad CRC or length)"};
    for (std::size_t i = 0; i < std::size(faults); ++i) {
        popups.shown.clear();
        sim->clearRequestLog();
        faults[i]();
        connect(1);
        EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 03 1F 00 00 01 83 DE"})
            << "no parameter read after a bad probe, fault " << i;
        EXPECT_TRUE(contains(popupTitles(), "COMMUNICATION ERROR!")) << i;
        ASSERT_FALSE(popups.shown.empty());
        EXPECT_NE(popups.shown.back().text.find(std::string("\nWhat came back: ") + named[i] + "."),
                  std::string::npos)
            << popups.shown.back().text;
        EXPECT_EQ(controller().controllerVariant(), 0) << i;
        EXPECT_FALSE(line().linkUp()) << i;
        EXPECT_EQ(line().portStatus(), -1) << i;
        EXPECT_FALSE(fileExists("DftCom.prm")) << i;
        EXPECT_EQ(mainInt(MainPanel::connectionLed), 0) << i;
    }
    popups.shown.clear();
    connect(1); // the same controller, answering properly
    EXPECT_EQ(mainInt(MainPanel::connectionLed), 1);
    EXPECT_EQ(controller().controllerVariant(), 1);
    EXPECT_EQ(mainInt(MainPanel::identificationDisplay), 7);
}

TEST_F(ControllerTest, HighPortNumberWarnsButStillOpens) {
    setComDevice(9, sim->devicePath());
    SetCtrlVal(MainPanel::handle, MainPanel::portSelector, 9);
    commit(MainPanel::handle, MainPanel::portSelector);
    EXPECT_TRUE(contains(popupTitles(), "High Comport Number Warning!"));
    EXPECT_EQ(controller().controllerVariant(), 1);
    CloseCom(line().port());

    popups.shown.clear();
    setComDevice(8, sim->devicePath());
    SetCtrlVal(MainPanel::handle, MainPanel::portSelector, 8);
    commit(MainPanel::handle, MainPanel::portSelector);
    EXPECT_FALSE(contains(popupTitles(), "High Comport Number Warning!"));
    CloseCom(line().port());
}

TEST_F(ControllerTest, PortThatCannotOpenIsReported) {
    setComDevice(5, workDir + "/no-such-device");
    SetCtrlVal(MainPanel::handle, MainPanel::portSelector, 5);
    commit(MainPanel::handle, MainPanel::portSelector);
    EXPECT_TRUE(contains(popupTitles(), "COM Port Finding Error!"));
    EXPECT_LT(line().portStatus(), 0);
    EXPECT_FALSE(waitPopupShown());
    EXPECT_EQ(sim->requestCount(), 0);
}

TEST_F(ControllerTest, ComSettingsFileForms) {
    SetCtrlVal(MainPanel::handle, MainPanel::portSelector, 2);
    SetCtrlVal(MainPanel::handle, MainPanel::idNumeric, 4);
    runOnControlThread([this] { RdComFile(objects().connection); }); // no file: everything stays
    EXPECT_EQ(mainInt(MainPanel::portSelector), 2);
    EXPECT_EQ(line().baudRate(), 19200);

    writeFile("DftCom.prm", "3, 9600, 5");
    runOnControlThread([this] { RdComFile(objects().connection); });
    EXPECT_EQ(mainInt(MainPanel::portSelector), 3);
    EXPECT_EQ(mainInt(MainPanel::idNumeric), 5);
    EXPECT_EQ(line().baudRate(), 9600);

    writeFile("DftCom.prm", "4");
    runOnControlThread([this] { RdComFile(objects().connection); });
    EXPECT_EQ(line().comPort(), 4);
    EXPECT_EQ(line().baudRate(), 9600);
    EXPECT_EQ(controller().controllerId(), 5);
}

TEST_F(ControllerTest, IdNumericCommitRetargetsRequests) {
    connect(1);
    SetCtrlVal(MainPanel::handle, MainPanel::idNumeric, 7);
    commit(MainPanel::handle, MainPanel::idNumeric);
    EXPECT_EQ(controller().controllerId(), 7);
}

TEST_F(ControllerTest, StatusReportAndHelpTexts) {
    commit(MainPanel::handle, MainPanel::rs232StatusButton);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "RS232 Message");
    EXPECT_EQ(popups.shown[0].text, "No line errors since the last look.\nNo status bits are set.");
    rightClick(MainPanel::handle, MainPanel::portSelector);
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].title, "<Controller ID> Help");
    commit(MainPanel::handle, MainPanel::aboutButton);
    ASSERT_EQ(popups.shown.size(), 3u);
    EXPECT_EQ(popups.shown[2].title, "Q7 Temperature Controller");
}
