// A controller that is silent, refuses a register, misses a reply or stops
// answering, and a port that will not open: each ends with the status a
// script can act on and names what went wrong in one line.
#include "cli_run.h"

#include <atomic>
#include <functional>
#include <tuple>

using namespace cli;

namespace {

constexpr const char* kProbeFrame = "01 03 1F 00 00 01 83 DE";

// A parameter file whose SV (1500.0) lies above the Hi limit (1200.0) the
// controller holds while it is written, and which it therefore refuses.
constexpr const char* kHighSv =
    "1500.00  100.00  100.00    0.00    5.00    0.00    0.00    0.00    0.00 -200.00 1200.00    "
    "0.00    0.00    0.00    0.00    0.00    1.00    1.00 240 60 3 1 0 1 0 0 15 0 0 0 1 1 0 0 0 "
    "0 0 0";

std::string bytes(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 3)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

} // namespace

// The probe finds a silent controller: one request and one time-out, not a
// transfer's worth of them.
TEST_F(CliTest, SilentControllerEndsWithStatus3AfterTheProbeAlone) {
    writeFile("a.prm", kHighSv);
    for (const std::vector<std::string>& command : {std::vector<std::string>{"probe"},
                                                    {"backup", "b.prm"},
                                                    {"restore", "a.prm"},
                                                    {"get", "pv"},
                                                    {"set", "sv", "20"},
                                                    {"watch"}}) {
        SilentLine line;
        std::vector<std::string> args{"--com", "1=" + line.device};
        args.insert(args.end(), command.begin(), command.end());
        const Ran r = run(args);
        EXPECT_EQ(r.status, 3) << command[0];
        EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("q7: no answer from the controller on COM1", 0), 0u) << r.err;
        EXPECT_EQ(line.sent(), bytes(kProbeFrame)) << command[0];
    }
    EXPECT_FALSE(exists("b.prm"));
}

TEST_F(CliTest, PortThatDoesNotOpenIsStatus3WithTheReason) {
    const Ran r = run({"--com", "1=" + dir + "/nothing", "probe"});
    EXPECT_EQ(r.status, 3);
    ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("cannot open COM1 (" + dir + "/nothing: No such file or directory)"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("q7 ports"), std::string::npos);
}

TEST_F(CliSimTest, RefusedRegisterIsNamedAndTheRestGoesOn) {
    writeFile("a.prm", kHighSv);
    const Ran r = q7({"restore", "a.prm"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "q7: the controller refused SV (0x0000) (exception 03)\n");
    EXPECT_EQ(sim->reg(0x00), 250); // it keeps its own
    EXPECT_EQ(sim->reg(0x1C), 3);   // and takes the rest of the file
    EXPECT_EQ(sim->requestCount(), 53);
}

TEST_F(CliSimTest, MissingEchoIsNamedAsNotConfirmed) {
    writeFile("a.prm", kHighSv);
    // Request 6 is the fifth write: alarm 1's hysteresis.
    sim->setRequestHook([this](int n) {
        if (n == 6) sim->dropReplies(1);
    });
    const Ran r = q7({"restore", "a.prm"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("q7: the controller did not confirm Alarm 1 hysteresis (0x0005) (no "
                         "reply)\n"),
              std::string::npos)
        << r.err;
}

TEST_F(CliSimTest, RefusedDecimalPointStopsTheRestoreThere) {
    writeFile("a.prm", kHighSv);
    sim->setRequestHook([this](int n) {
        if (n == 2) sim->exceptionNext(3);
    });
    const Ran r = q7({"restore", "a.prm"});
    EXPECT_EQ(r.status, 1);
    ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("decimal point (exception 03); nothing else was written"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(sim->requestCount(), 2);
}

TEST_F(CliSimTest, ControllerThatStopsAnsweringEndsTheBackupWithoutAFile) {
    sim->setRequestHook([this](int n) {
        if (n == 6) sim->dropReplies(100);
    });
    const Ran r = q7({"backup", "a.prm"});
    EXPECT_EQ(r.status, 3);
    ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_NE(r.err.find("stopped answering after 4 of 26 parameters; a.prm was not written"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(exists("a.prm"));
}

// A watch is left running overnight: six seconds of silence are one gap,
// told as it starts and as it ends, and the count is of lines printed.
TEST_F(CliSimTest, WatchGoesOnThroughSilenceAndCountsLinesPrinted) {
    sim->setRequestHook([this](int n) {
        if (n == 8) sim->dropReplies(6);
    });
    const Ran r = q7({"watch", "--interval", "0.1", "--count", "15"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 15u) << r.out;
    const auto told = lines(r.err);
    ASSERT_EQ(told.size(), 3u) << r.err;
    EXPECT_NE(told[0].find("no reading from COM1"), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("; watching on"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find("alarm rule silent on COM1 id 1"), std::string::npos) << told[1];
    EXPECT_NE(told[2].find("answers again at "), std::string::npos) << told[2];
}

// A restore that stops part-way names what the controller took, what it may
// have taken and what it never got: stopped by SIGINT or SIGTERM between two
// registers, and when the controller stops answering after 8 writes.
TEST_F(CliSimTest, InterruptedRestoreNamesWhatWasWritten) {
    ASSERT_EQ(q7({"backup", "a.prm"}).status, 0);
    const std::vector<std::string> args{"--com", "1=" + sim->devicePath(), "restore", "a.prm"};
    for (const auto& [signal, status, name] :
         {std::tuple{SIGINT, 130, "SIGINT"}, std::tuple{SIGTERM, 143, "SIGTERM"}}) {
        std::atomic<pid_t> pid{-1};
        const int first = sim->requestCount();
        // The signal comes while the fifth write waits for its echo.
        sim->setRequestHook([&pid, first, signal = signal](int n) {
            if (n == first + 6) kill(pid, signal);
        });
        pid = startQ7(dir, args);
        const Ran r = finishQ7(pid, dir);
        sim->setRequestHook(nullptr);
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(sim->requestCount(), first + 6) << "nothing after the boundary";
        EXPECT_EQ(r.err, std::string("q7: stopped by ") + name +
                             " during the restore (confirmed: Decimal point (0x0021), Time unit "
                             "(PTME) (0x0026), SV (0x0000), Alarm 1 set point (0x0004), Alarm 1 "
                             "hysteresis (0x0005); never sent: A1FU (0x0006), A1MD (0x0007), "
                             "Alarm 1 delay (0x0008), Ramp rate (0x000E), Soft start time "
                             "(0x000F), Output level (0x0002), P band (0x0011), I time (0x0012), "
                             "D time (0x0013), PID tenths value (0x0014), PID tenths value "
                             "(0x0015), Cycle time (0x0017), Sensor type (0x001C), PV offset (0x0001), Action "
                             "(Dir/Rev) (0x0022), Unit (C/F) (0x0020), EROP (0x0027), LOCK "
                             "(0x0028), Lo limit (0x0023), Hi limit (0x0024), Register 0x0025); "
                             "restore a.prm again to send it whole\n");
    }
    // Requests 2 to 9 are the first eight writes.
    const int first = sim->requestCount();
    sim->setRequestHook([this, first](int n) {
        if (n == first + 10) sim->dropReplies(100);
    });
    const Ran r = q7({"restore", "a.prm"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Alarm 1 delay (0x0008); sent without confirmation: Ramp rate (0x000E), "
                         "Soft start time (0x000F), Output level (0x0002); never sent: P band "
                         "(0x0011), "),
              std::string::npos)
        << r.err;
}

// Something that answers the probe, but not as a controller of ours does,
// is named for what it is rather than taken for silence.
TEST_F(CliSimTest, WrongAnswerToTheProbeIsNamed) {
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[this] { sim->wrongSlaveNext(2); },
         "a reply from slave 2, not from id 1: another device answers on this line; check the "
         "id (--id)"},
        {[this] { sim->exceptionNext(4); },
         "exception 04 (slave device failure): check the id (--id)"},
        {[this] { sim->flipBit(6, 0); },
         "a damaged reply (bad CRC or length): check the baud rate (--baud) and the cable"},
    };
    for (const auto& [fault, named] : cases) {
        fault();
        const Ran r = q7({"probe"});
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(r.err, "q7: COM1 (" + sim->devicePath() + "), id 1 answers with " + named + "\n");
    }
}

TEST_F(CliSimTest, RefusedSetValueTellsWhatTheControllerHolds) {
    // The probe, the decimal point and the limits are read; then the write.
    sim->setRequestHook([this](int n) {
        if (n == 4) sim->exceptionNext(3);
    });
    const Ran r = q7({"set", "sv", "150"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "q7: the controller refused SV 150 (exception 03: outside its Lo/Hi "
                     "limits); it holds 25.0\n");
}

// The controller takes a set value only within its Lo and Hi limits, read
// from it first: one outside them is refused with the range, never sent.
TEST_F(CliSimTest, SetValueOutsideTheControllersLimitsIsNotSent) {
    Ran r = q7({"set", "sv", "1500"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "q7: SV 1500 is outside the controller's Lo/Hi limits (-200.0 to 1200.0); "
                     "nothing was sent\n");
    for (const std::string& request : sim->requestLog())
        EXPECT_NE(request.substr(3, 2), "06") << request;
    r = q7({"set", "sv", "1200"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim->reg(0x00), 12000);
}

TEST_F(CliSimTest, ValuesBeyondTheirRegistersAreRefusedBeforeAnyWrite) {
    // The decimal point is read first; 4000.0 in tenths does not fit 16 bits.
    std::string program;
    for (int i = 0; i < 8; ++i)
        program += (i == 0 ? "4000.0" : "0.0") + std::string(" 1 1 8 0 ");
    writeFile("a.srp", program + "0.0");
    Ran r = q7({"program", "put", "a.srp"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("step 0 (4000.0) is outside"), std::string::npos) << r.err;
    writeFile("a.pid", "   5.00 240 60    0.00    0.00 4000.00 15    0.00    0.00    0.00 0");
    r = q7({"pid", "put", "a.pid"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("too large for their registers"), std::string::npos) << r.err;
    r = q7({"set", "sv", "3276.8"});
    EXPECT_EQ(r.status, 2);
    for (const std::string& request : sim->requestLog())
        EXPECT_NE(request.substr(3, 2), "06") << request; // reads only
}

TEST_F(CliSimTest, PortAndIdComeFromDftComAndTheFileIsNeverRewritten) {
    sim->stop();
    simOptions.slaveId = 7;
    sim = std::make_unique<sim::SimController>(simOptions);
    ASSERT_TRUE(sim->start());
    writeFile("DftCom.prm", "5 19200 7");
    Ran r = run({"--com", "5=" + sim->devicePath(), "probe"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim->lastRequestHex().substr(0, 2), "07");
    // The command line wins over the file.
    r = run({"--com", "5=" + sim->devicePath(), "--id", "3", "probe"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(readFile("DftCom.prm"), "5 19200 7");
}
