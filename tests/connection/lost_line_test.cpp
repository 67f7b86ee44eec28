// A device that goes away while the program talks to it: the dead port is
// let go, the operator reads one message, and selecting the port again says
// in words what is wrong with it.
#include "connection/panel/connection.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "pid/panel/ids/pid_panel.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

class LostLine : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        sim->setReg(0x1F00, uint16_t('@' << 8 | 1));
        device = sim->devicePath();
    }
    // Starts the parameter read and pulls the device out in its middle.
    void loseTheLineDuringAParameterRead() {
        std::atomic<int> requests{0};
        sim->setRequestHook([&](int n) { requests = n; });
        const int start = sim->requestCount();
        postCommit(MainPanel::handle, MainPanel::readButton);
        ASSERT_TRUE(waitUntil([&] { return requests >= start + 5; }));
        sim->closeLine();
        ASSERT_TRUE(waitIdle());
        sim->setRequestHook(nullptr);
    }
    // Everything shown so far was the one lost-line notice (a newer one
    // replaces the older on screen).
    bool onlyTheLostNotice() const {
        if (popups.shown.empty()) return false;
        for (const PopupRecord& p : popups.shown)
            if (p.kind != "notice" || p.title != "Connection Lost") return false;
        return true;
    }
    std::string lastText() const { return popups.shown.empty() ? "" : popups.shown.back().text; }

    std::string device;
};

constexpr const char* kFindingErrorText =
    "Computer CANNOT link to the controller.\nPlease make sure COM port setup properly.";

TEST_F(LostLine, ATransferCutShortLeavesOneMessageAndNoDeviceOpen) {
    connect(1);
    ASSERT_TRUE(line().linkUp());
    ASSERT_TRUE(popups.shown.empty());
    loseTheLineDuringAParameterRead();

    EXPECT_TRUE(onlyTheLostNotice()) << popups.shown.back().title;
    EXPECT_NE(lastText().find("COM3 has gone away"), std::string::npos) << lastText();
    EXPECT_EQ(lastText().find("program reconnects"), std::string::npos)
        << "a pseudo-terminal does not come back as the same line";
    EXPECT_NE(lastText().find("The parameter read stopped after"), std::string::npos);
    EXPECT_EQ(lastText().find("press Read"), std::string::npos) << "no contradicting advice";
    EXPECT_EQ(descriptorsOn(device), 0) << "a deleted device is not held open";
    EXPECT_FALSE(comIsOpen(line().port()));
    EXPECT_EQ(led(), 0);

    // More work on the lost line adds what became of it to the same notice.
    DisplayPanel(PidPanel::handle);
    commit(PidPanel::handle, PidPanel::readButton);
    EXPECT_TRUE(onlyTheLostNotice()) << popups.shown.back().title;
    EXPECT_NE(lastText().find("The parameter read stopped after"), std::string::npos);
    EXPECT_NE(lastText().find("The PID parameters were not read"), std::string::npos);
}

TEST_F(LostLine, SelectingTheLostPortAgainSaysWhyInWords) {
    connect(1);
    loseTheLineDuringAParameterRead();
    popups.shown.clear();

    commit(MainPanel::handle, MainPanel::portSelector);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "COM Port Finding Error!");
    EXPECT_EQ(lastText().rfind(kFindingErrorText, 0), 0u) << "the known text comes first, whole";
    EXPECT_NE(lastText().find("\n\nCOM3: " + device + ": " + std::strerror(ENOENT)),
              std::string::npos)
        << lastText();
    EXPECT_EQ(descriptorsOn(device), 0);
}

TEST_F(LostLine, APortThatTakesNoSettingsIsReportedInWordsAndLetGo) {
    const int simulatorsOwn = descriptorsOn(device);
    line().setBaudRate(12345); // no serial line runs at that rate
    connect(1);
    ASSERT_FALSE(popups.shown.empty());
    EXPECT_EQ(popups.shown.back().title, "COM Port Finding Error!");
    EXPECT_NE(lastText().find("cannot set 12345 baud, 8 data bits, 2 stop bits: " +
                              std::string(std::strerror(EINVAL))),
              std::string::npos)
        << lastText();
    EXPECT_EQ(lastText().find("error 22"), std::string::npos);
    EXPECT_EQ(descriptorsOn(device), simulatorsOwn);
}

TEST_F(LostLine, ASharedDeviceThatGoesAwayIsLetGoByEveryNumber) {
    setSimulatedDevice(device); // COM4 reaches the same device as COM3
    connect(1);
    SetCtrlVal(MainPanel::handle, MainPanel::portSelector, 4);
    commit(MainPanel::handle, MainPanel::portSelector);
    ASSERT_TRUE(line().linkUp());
    // Another port object on COM3 (as the Connection dialog's test opens)
    // shares the device.
    ComPort other;
    ASSERT_EQ(OpenComConfig(other, kSimPort, "", line().baudRate(), 0, 8, 2, 255, 255), 0);

    loseTheLineDuringAParameterRead();
    EXPECT_FALSE(comIsOpen(line().port()));
    EXPECT_FALSE(comIsOpen(other));
    EXPECT_EQ(descriptorsOn(device), 0);
    EXPECT_TRUE(onlyTheLostNotice());
}

} // namespace
