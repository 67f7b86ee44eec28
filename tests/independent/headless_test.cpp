// The headless commands against a Modbus RTU slave that shares no code with
// the program, run as a script runs them: the real q7 binary, with neither
// DISPLAY nor QT_QPA_PLATFORM in its environment. What the slave received is
// the proof of what the commands sent.
#include "cli/cli_run.h"
#include "independent_slave.h"
#include "link/retry_policy.h"
#include "mainpanel/ids/main_panel.h"
#include "pid/panel/pid_panel.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "support/controller_fixture.h"
#include "support/wire_trace.h"

#include <chrono>

namespace {

constexpr const char* kProbe = "01 03 1F 00 00 01 83 DE";

// The slave behind COM 3, reached as `q7 --port 3 --com 3=DEVICE`.
class HeadlessOnSlave : public cli::CliTest {
  protected:
    void startSlave(const std::vector<std::string>& options = {}) {
        slave = std::make_unique<IndependentSlave>(options);
        ASSERT_FALSE(slave->device().empty()) << slave->why();
    }
    cli::Ran q7(std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", "3", "--com", "3=" + slave->device()});
        return run(args);
    }
    std::unique_ptr<IndependentSlave> slave;
};

} // namespace

// The panel's "Save to file…" and `q7 backup` on the same slave: one file.
class HeadlessAndPanel : public ControllerTest {
  protected:
    void SetUp() override {
        startSimulator = false;
        ControllerTest::SetUp();
    }
};

TEST_F(HeadlessAndPanel, BackupWritesTheBytesThePanelSaves) {
    // Values the slave does not hold by default, in scaled reals, integers
    // and the PID block, so a field left out or scaled wrongly shows.
    IndependentSlave slave({"--set", "0x0000=456", "--set", "0x0024=8000", "--set", "0x001C=3",
                            "--set", "0x0012=321", "--set", "0x0016=77", "--set", "0x0008=95"});
    ASSERT_FALSE(slave.device().empty()) << slave.why();
    setComDevice(kSimPort, slave.device());
    connect(1);
    ASSERT_TRUE(popups.shown.empty()) << popups.shown.front().text;
    // The panel's record holds the PID block once it has been read.
    runOnControlThread([this] { ReadPIDParmsFromMeter(controller()); });
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/panel.prm"});
    commit(MainPanel::handle, MainPanel::saveFileButton);
    // The port is taken exclusively: the panels let go of it first.
    CloseCom(line().port());

    const cli::Ran r =
        cli::runQ7(workDir, {"--port", "3", "--com", "3=" + slave.device(), "backup", "a.prm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_TRUE(fileExists("a.prm"));
    EXPECT_EQ(readFile("a.prm"), readFile("panel.prm"));
}

TEST_F(HeadlessOnSlave, RestoreSendsTheWritesThenTheReadsAndEndsWith0) {
    // A slave holding what the operator session's backup held (SV 30.0 and
    // the PID block among them): the restore of its backup is then known
    // byte for byte.
    startSlave({"--set", "0x0000=300", "--set", "0x0006=1", "--set", "0x0022=1", "--set",
                "0x0011=50", "--set", "0x0012=240", "--set", "0x0013=60", "--set", "0x0017=15"});
    ASSERT_EQ(q7({"backup", "a.prm"}).status, 0);
    slave->clearRequests();

    const cli::Ran r = q7({"restore", "a.prm"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> want =
        traceStep("restore the saved parameters: 26 writes, then 26 reads");
    ASSERT_EQ(want.size(), 52u);
    want.insert(want.begin(), kProbe);
    EXPECT_EQ(slave->requests(), want);
}

TEST_F(HeadlessOnSlave, TruncatedFileEndsWith2AndSendsNothing) {
    startSlave();
    ASSERT_EQ(q7({"backup", "a.prm"}).status, 0);
    const std::string whole = readFile("a.prm");
    writeFile("cut.prm", whole.substr(0, whole.size() / 2));
    slave->clearRequests();

    const cli::Ran r = q7({"restore", "cut.prm"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(cli::lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("cut.prm"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was sent"), std::string::npos) << r.err;
    EXPECT_TRUE(slave->requests().empty());
}

// The one place a time bound is the requirement itself: a script waiting on
// a controller that is off learns it within 5 s. The probe alone finds it,
// asked once, so the bound holds with room on a loaded machine.
TEST_F(HeadlessOnSlave, SilentSlaveEndsWith3Within5Seconds) {
    static_assert(retry::kProbeAttempts == 1);
    startSlave({"--silent"});
    const auto start = std::chrono::steady_clock::now();
    const cli::Ran r = q7({"backup", "a.prm"});
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, 3);
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_EQ(cli::lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("no answer from the controller on COM3"), std::string::npos) << r.err;
    EXPECT_EQ(slave->requests(), std::vector<std::string>{kProbe});
    EXPECT_FALSE(exists("a.prm"));
}

// Between the program and the slave, a relay that passes every reply on in
// order, each up to 1.15 s after its request, as a slow line or a busy
// gateway does. Three backups and a watch of 20 samples hold only what the
// slave holds; what could not be read ends as a reported failure.
TEST_F(HeadlessOnSlave, SlowLineGivesOnlyTheSlavesValues) {
    // A value of its own in every register the backup reads, so a reply
    // taken for another register's shows in the file.
    std::vector<std::string> values;
    for (int r = 0x00; r <= 0x27; ++r)
        if (r != 0x21)
            values.insert(values.end(),
                          {"--set", std::to_string(r) + "=" + std::to_string(100 + 3 * r)});
    startSlave(values);
    ASSERT_EQ(q7({"backup", "direct.prm"}).status, 0);
    IndependentSlave relay({slave->device(), "--max-delay", "1.15", "--seed", "7"}, "relay.py");
    ASSERT_FALSE(relay.device().empty()) << relay.why();
    const auto slowly = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--port", "3", "--com", "3=" + relay.device()});
        return run(args);
    };
    for (const std::string file : {"slow1.prm", "slow2.prm", "slow3.prm"}) {
        const cli::Ran r = slowly({"backup", file});
        if (r.status == 0)
            EXPECT_EQ(readFile(file), readFile("direct.prm"));
        else
            EXPECT_FALSE(exists(file)) << r.err;
    }
    const cli::Ran w = slowly({"watch", "--count", "20", "--interval", "0.1"});
    EXPECT_FALSE(w.out.empty()) << w.err;
    for (const std::string& line : cli::lines(w.out))
        EXPECT_EQ(line.substr(line.find(',')), ", 25.0, 23.4") << "SV, then PV";
}

TEST_F(HeadlessOnSlave, RefusedRegisterEndsWith1AndIsNamed) {
    // Alarm 1's hysteresis.
    startSlave({"--refuse-write", "0x05:3"});
    ASSERT_EQ(q7({"backup", "a.prm"}).status, 0);
    slave->clearRequests();

    const cli::Ran r = q7({"restore", "a.prm"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "q7: the controller refused Alarm 1 hysteresis (0x0005) (exception 03)\n");
    // The rest is written and everything read back.
    EXPECT_EQ(slave->requests().size(), 53u);
}
