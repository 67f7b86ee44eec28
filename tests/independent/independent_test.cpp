// The program against a Modbus RTU slave that shares no code with it: what
// the slave received is checked, not what the program believes it sent.
#include "independent_slave.h"
#include "mainpanel/ids/main_panel.h"
#include "params/params_state.h"
#include "serial/com_map.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"
#include "support/operator_session.h"
#include "support/wire_trace.h"

#include <algorithm>
#include <clocale>
#include <set>

namespace {

namespace M = MainPanel;

class Independent : public ControllerTest {
  protected:
    void SetUp() override {
        startSimulator = false;
        ControllerTest::SetUp();
    }
    // Starts the slave with its options and puts it behind COM 3.
    void startSlave(const std::vector<std::string>& options = {}) {
        slave = std::make_unique<IndependentSlave>(options);
        ASSERT_FALSE(slave->device().empty()) << slave->why();
        setComDevice(kSimPort, slave->device());
    }
    bool shown(const std::string& title) const {
        for (const auto& p : popups.shown)
            if (p.title == title) return true;
        return false;
    }
    std::string textOf(const std::string& title) const {
        for (const auto& p : popups.shown)
            if (p.title == title) return p.text;
        return "";
    }
    std::unique_ptr<IndependentSlave> slave;
};

// Frames that carry what this slave holds (a restore writes back what was
// read, the step program and PID writes what their panels read) are compared
// by address, function and register only; every other frame byte for byte.
const std::set<std::string> kValueDependentSteps = {
    "restore the saved parameters: 26 writes, then 26 reads",
    "write the step program",
    "write the PID block",
};

} // namespace

TEST_F(Independent, OperatorSessionReachesTheControllerAsKnown) {
    startSlave({"--set", "0x1003=0x0401"});
    std::vector<TraceStep> received;
    runOperatorSession(popups, workDir,
                       {.step =
                            [&](const std::string& heading) {
                                received.push_back({heading, slave->requests()});
                                slave->clearRequests();
                            },
                        .reportRunning = [] {}});
    const std::vector<TraceStep> want = expectedTrace();
    ASSERT_EQ(received.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(want[i].heading);
        EXPECT_EQ(received[i].heading, want[i].heading);
        if (kValueDependentSteps.count(want[i].heading))
            EXPECT_EQ(heads(received[i].frames), heads(want[i].frames));
        else
            EXPECT_EQ(received[i].frames, want[i].frames);
    }
}

// An exception reply to the probe is no controller, even when its CRC's low
// byte is the '@' of a model code: 01 83 04 40 F3.
TEST_F(Independent, ProbeTakesNoExceptionForAController) {
    startSlave({"--refuse-read", "0x1F00:4"});
    connect(1);
    EXPECT_EQ(slave->requests(), std::vector<std::string>{"01 03 1F 00 00 01 83 DE"});
    EXPECT_TRUE(shown("COMMUNICATION ERROR!"));
    EXPECT_FALSE(fileExists("DftCom.prm"));
}

TEST_F(Independent, SilentControllerIsNoController) {
    startSlave({"--silent"});
    connect(1);
    EXPECT_EQ(slave->requests(), std::vector<std::string>{"01 03 1F 00 00 01 83 DE"});
    EXPECT_TRUE(shown("COMMUNICATION ERROR!"));
}

// The slave keeps its one decimal place; the file has none. Nothing scaled
// may follow the refused decimal point, or every temperature lands ten times off.
TEST_F(Independent, RestoreStopsAtARefusedDecimalPoint) {
    startSlave({"--refuse-write", "0x21:3"});
    connect(1);
    ASSERT_EQ(popups.shown.size(), 0u);
    writeFile("nodp.prm", "  25.00 -200.00 1200.00    0.00    0.00    0.00    0.00    0.00    "
                          "0.00    0.00    0.00    0.00    0.00    0.00    0.00    0.00    0.00 "
                          "   0.00 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0");
    slave->clearRequests();
    popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/nodp.prm"});
    popups.buttons.push_back(1); // send it, whatever it changes
    commit(MainPanel::handle, M::loadFileButton);
    const auto sent = slave->requests();
    ASSERT_EQ(sent.size(), 1u) << (sent.size() > 1 ? sent[1] : "");
    EXPECT_EQ(sent[0], "01 06 00 21 00 00 D9 C0");
    EXPECT_TRUE(shown("Decimal Point Not Accepted"));
    EXPECT_EQ(controller().scale(), Scale::ofDecimalPoint(1));
}

TEST_F(Independent, RefusedModeIsNamedAndTheRingShowsTheControllersMode) {
    startSlave({"--refuse-write", "0x03:3"});
    connect(1);
    setValueAndCommit(MainPanel::handle, M::modeRing, 4);
    ASSERT_TRUE(shown("Control Mode Refused"));
    EXPECT_NE(textOf("Control Mode Refused").find("Manual"), std::string::npos);
    EXPECT_NE(textOf("Control Mode Refused").find("exception code 3"), std::string::npos);
    int mode = -1;
    GetCtrlVal(MainPanel::handle, M::modeRing, &mode);
    EXPECT_EQ(mode, 1); // the slave holds On
}

// What the operator sees after the controller says no is what it holds.
TEST_F(Independent, PanelsShowWhatTheSlaveHolds) {
    // A slave whose Hi limit lets 1500.0 through, but which refuses SV.
    startSlave({"--set", "0x24=16000", "--set", "0x1C=99", "--refuse-write", "0x00:3"});
    connect(1);
    std::string sensor;
    GetCtrlVal(MainPanel::handle, M::sensorRing, &sensor);
    EXPECT_EQ(sensor, "99 (unknown)");

    slave->clearRequests();
    popups.shown.clear();
    typeAndEnter(MainPanel::handle, M::svEntry, "1500");
    EXPECT_EQ(slave->requests(), std::vector<std::string>{"01 06 00 00 3A 98 9A C0"});
    EXPECT_TRUE(shown("Parameter Error"));
    std::string sv;
    GetCtrlVal(MainPanel::handle, M::svEntry, &sv);
    EXPECT_EQ(sv, "25.0 °C");

    // Beyond the Hi limit nothing reaches the slave, and the refusal says why.
    slave->clearRequests();
    popups.shown.clear();
    typeAndEnter(MainPanel::handle, M::svEntry, "5000");
    EXPECT_TRUE(slave->requests().empty());
    EXPECT_NE(textOf("Entry Refused").find("-200.0 to 1600.0"), std::string::npos);
    GetCtrlVal(MainPanel::handle, M::svEntry, &sv);
    EXPECT_EQ(sv, "25.0 °C");
}

namespace {

// The C library's number format of a desktop that writes "25,5", for one test.
class CommaLocale {
  public:
    CommaLocale() {
        if (const char* old = std::setlocale(LC_ALL, nullptr)) old_ = old;
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~CommaLocale() { std::setlocale(LC_ALL, old_.c_str()); }
    bool active() const { return active_; }

  private:
    std::string old_;
    bool active_ = false;
};

bool received(const std::vector<std::string>& requests, const std::string& frame) {
    return std::find(requests.begin(), requests.end(), frame) != requests.end();
}

} // namespace

// A slave with no decimal place and a delay of 36000 s, on a comma desktop:
// a typed fraction is rounded, the time word goes back as it came, and the
// backup is one the program takes again.
TEST_F(Independent, DataSafetyHoldsOnACommaDesktop) {
    CommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no de_DE.UTF-8 locale here (scripts/test.sh makes it)";
    startSlave({"--set", "0x21=0", "--set", "0x00=25", "--set", "0x23=0xFF38", "--set", "0x24=1200",
                "--set", "0x08=36000"});
    connect(1);

    slave->clearRequests();
    typeAndEnter(MainPanel::handle, M::svEntry, "123.6");
    EXPECT_EQ(slave->requests(), std::vector<std::string>{"01 06 00 00 00 7C 88 2B"});

    int major = 0, minor = 0;
    GetCtrlVal(MainPanel::handle, M::alarmDelayMajor, &major);
    GetCtrlVal(MainPanel::handle, M::alarmDelayMinor, &minor);
    EXPECT_EQ(major, -492);
    EXPECT_EQ(minor, -16);
    slave->clearRequests();
    commit(MainPanel::handle, M::alarmUpdateButton);
    EXPECT_TRUE(received(slave->requests(), "01 06 00 08 8C A0 6C B0"));

    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/comma.prm"});
    commit(MainPanel::handle, M::saveFileButton);
    const std::string saved = readFile("comma.prm");
    EXPECT_EQ(saved.substr(0, 7), " 124.00");
    EXPECT_EQ(saved.find(','), std::string::npos) << saved;
    slave->clearRequests();
    popups.shown.clear();
    popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/comma.prm"});
    popups.buttons.push_back(1); // send it, whatever it changes
    commit(MainPanel::handle, M::loadFileButton);
    EXPECT_TRUE(received(slave->requests(), "01 06 00 00 00 7C 88 2B"));
    EXPECT_TRUE(received(slave->requests(), "01 06 00 08 8C A0 6C B0"));
    EXPECT_EQ(slave->requests().size(), 52u) << "26 writes, then 26 reads";
}
