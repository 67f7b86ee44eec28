// Each command against the simulated controller over a real pseudo-terminal,
// run as the real binary with no display, exit status included.
#include "cli_run.h"
#include "runs/run_store.h"

#include <regex>
#include <sstream>

using namespace cli;

namespace {

constexpr const char* kProbe = "01 03 1F 00 00 01";

// The simulator's power-on configuration with SV 123.4, sensor 3, an alarm
// delay of 125 s and 5.5 in PID register 0x16, as the parameter file holds it.
constexpr const char* kBackup =
    " 123.40  100.00  100.00    0.00    5.00    0.00    0.00    0.00    0.00 -200.00 1200.00    "
    "0.00    5.50    0.00    0.00    0.00    1.00    1.00 240 60 3 1 0 1 0 0 15 0 0 0 1 1 0 0 0 "
    "0 125 0";

class Commands : public CliSimTest {
  protected:
    void configure() {
        sim->setReg(0x00, 1234);
        sim->setReg(0x1C, 3);
        sim->setReg(0x08, 125);
        sim->setReg(0x16, 55);
    }
};

} // namespace

TEST_F(Commands, ProbePrintsTheModelAfterOneRequest) {
    sim->stop();
    simOptions.variant = 'D';
    sim = std::make_unique<sim::SimController>(simOptions);
    ASSERT_TRUE(sim->start());
    const Ran r = q7({"probe"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "D\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 03 1F 00 00 01 83 DE"});
}

TEST_F(Commands, ReadListsParametersScaledWithUnitsAndChoiceNames) {
    configure();
    sim->setReg(0x20, 1);  // °F
    sim->setReg(0x27, 99); // a code no table knows
    Ran r = q7({"read"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto listed = lines(r.out);
    ASSERT_EQ(listed.size(), 26u);
    EXPECT_EQ(listed[0], "0x0000  SV                   123.4 °F");
    EXPECT_NE(r.out.find("0x0008  Alarm 1 delay        2:05 MM:SS\n"), std::string::npos);
    EXPECT_NE(r.out.find("0x001C  Sensor type          E\n"), std::string::npos);
    EXPECT_NE(r.out.find("0x0027  EROP                 99 (unknown)\n"), std::string::npos);
    EXPECT_NE(r.out.find("0x0002  Output level         0.0 %\n"), std::string::npos);

    // Without a decimal point the same register is whole degrees.
    sim->setReg(0x21, 0);
    r = q7({"read", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"sv\": {\"register\": \"0x0000\", \"name\": \"SV\", \"value\": 1234, "
                         "\"text\": \"1234\", \"unit\": \"°F\"}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"erop\": {\"register\": \"0x0027\", \"name\": \"EROP\", \"value\": 99, "
                         "\"text\": \"99 (unknown)\"}"),
              std::string::npos);
    EXPECT_NE(r.out.find("\"alarm1_delay\": {\"register\": \"0x0008\", \"name\": \"Alarm 1 "
                         "delay\", \"value\": 125, \"text\": \"2:05\", \"unit\": \"s\"}"),
              std::string::npos);
}

TEST_F(Commands, BackupWritesTheParameterFileFromTheParametersAndThePidBlock) {
    configure();
    const Ran r = q7({"backup", "a.prm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, ""); // no progress where no one watches
    EXPECT_EQ(readFile("a.prm"), kBackup);
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 28u); // the probe, 26 parameters, the PID block
    EXPECT_EQ(sent[0], kProbe);
    EXPECT_EQ(sent[1], "01 03 00 21 00 01"); // the decimal point first
    EXPECT_EQ(sent[26], "01 03 00 24 00 01");
    EXPECT_EQ(sent[27], "01 03 00 11 00 0B");
}

TEST_F(Commands, RestoreWritesTheFileThenReadsEverythingBack) {
    std::string file = kBackup;
    file.replace(0, 7, "  50.00");                           // SV
    file.replace(file.find("1200.00"), 7, " 900.00");        // Hi limit
    file.replace(file.find(" 240 60 3 "), 10, " 240 60 5 "); // sensor
    writeFile("b.prm", file);
    const Ran r = q7({"restore", "b.prm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim->reg(0x00), 500);
    EXPECT_EQ(sim->reg(0x24), 9000);
    EXPECT_EQ(sim->reg(0x1C), 5);
    EXPECT_EQ(sim->reg(0x16), 0); // the file holds it, but no restore writes it
    EXPECT_EQ(sim->reg(0x08), 125);
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 53u); // the probe, 26 writes, 26 reads
    EXPECT_EQ(sent[0], kProbe);
    EXPECT_EQ(sent[1], "01 06 00 21 00 01");
    EXPECT_EQ(sent[2], "01 06 00 26 00 00");
    EXPECT_EQ(sent[3], "01 06 00 00 01 F4");
    EXPECT_EQ(sent[12], "01 06 00 11 00 32");
    EXPECT_EQ(sent[25], "01 06 00 24 23 28");
    EXPECT_EQ(sent[26], "01 06 00 25 00 00");
    EXPECT_EQ(sent[27], "01 03 00 21 00 01");
    EXPECT_EQ(sent[52], "01 03 00 24 00 01");
}

TEST_F(Commands, GetAndSetTheLiveValues) {
    Ran r = q7({"set", "sv", "123.45"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "sv 123.5\n"); // rounded to the one digit the register holds, and said so
    EXPECT_EQ(sim->reg(0x00), 1235);

    r = q7({"set", "mode", "Manual"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "mode Manual\n");
    EXPECT_EQ(sim->reg(0x03), 4);

    r = q7({"set", "out", "55.5"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "out 55.5\n");
    EXPECT_EQ(sim->reg(0x02), 555);

    sim->setReg(0x21, 0); // no decimal point: SV reads in whole degrees
    r = q7({"get", "sv", "mode", "out", "status", "pv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto got = lines(r.out);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0], "sv 1235");
    EXPECT_EQ(got[1], "mode Manual");
    EXPECT_EQ(got[2], "out 55.5");
    EXPECT_EQ(got[3], "status 0x0000 (program idle)");
    EXPECT_TRUE(std::regex_match(got[4], std::regex("pv -?[0-9]+"))) << got[4];
}

// A half goes away from zero as typed, whatever the binary value of the
// text: 55.55 is held as 55.5499..., and as a float as 55.549999.
TEST_F(Commands, HalvesRoundAwayFromZeroForEveryValue) {
    Ran r = q7({"set", "sv", "-42.55"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "sv -42.6\n");
    EXPECT_EQ(int16_t(sim->reg(0x00)), -426);
    ASSERT_EQ(q7({"set", "mode", "manual"}).status, 0);
    r = q7({"set", "out", "55.55"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "out 55.6\n");
    EXPECT_EQ(sim->reg(0x02), 556);
}

// The ramp rate is in degrees per the controller's time unit (PTME), as the
// panel labels it.
TEST_F(Commands, RampRateIsInDegreesPerTheTimeUnit) {
    sim->setReg(0x0E, 15);
    sim->setReg(0x26, 1); // HH:MM: the ramp is per minute
    Ran r = q7({"read", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"ramp_rate\": {\"register\": \"0x000E\", \"name\": \"Ramp rate\", "
                         "\"value\": 1.5, \"text\": \"1.5\", \"unit\": \"°C/min\"}"),
              std::string::npos)
        << r.out;
    sim->setReg(0x26, 0); // MM:SS: per second
    r = q7({"read"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("0x000E  Ramp rate            1.5 °C/s\n"), std::string::npos) << r.out;
}

// What fits its field but is in doubt is not sent unless asked for: a code
// no table knows, and limits that would leave the controller no set value.
TEST_F(Commands, DoubtfulFilesAreSentOnlyWithForce) {
    auto withField = [](std::size_t field, const std::string& value) {
        std::istringstream in(kBackup);
        std::string text, token;
        for (std::size_t i = 1; in >> token; ++i)
            text += (text.empty() ? "" : " ") + (i == field ? value : token);
        return text;
    };
    writeFile("erop.prm", withField(29, "99"));
    writeFile("limits.prm", withField(10, "1200.00"));
    std::string program;
    for (int i = 0; i < 8; ++i)
        program += i == 0 ? "100.0 10 20 9 0 " : "100.0 10 20 8 0 ";
    writeFile("end.srp", program + "5.0");

    Ran r = q7({"restore", "erop.prm"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "q7: erop.prm: line 1, field 29: EROP (0x0027): 99 (unknown); nothing was "
                     "sent (--force sends it as the file holds it)\n");
    r = q7({"restore", "limits.prm"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("fields 10 and 11: Lo limit 1200.00 is not below Hi limit 1200.00"),
              std::string::npos)
        << r.err;
    r = q7({"program", "put", "end.srp"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("number 4: 0x0036 (step 0 action): 9 (unknown)"), std::string::npos)
        << r.err;
    EXPECT_TRUE(requests().empty()) << "refused before the port is opened";

    r = q7({"restore", "--force", "erop.prm"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim->reg(0x27), 99);
    r = q7({"program", "put", "--force", "end.srp"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim->reg(0x36), 9);
}

TEST_F(Commands, StepProgramMovesThroughSrpFilesAndRunsAndStops) {
    sim->setReg(0x32, 50); // band 5.0
    const uint16_t step0[] = {10, 1000, 20, 10, 0}, step1[] = {5, 1500, 5, 8, 0};
    for (int i = 0; i < 5; ++i) {
        sim->setReg(uint16_t(0x33 + i), step0[i]);
        sim->setReg(uint16_t(0x38 + i), step1[i]);
    }
    Ran r = q7({"program", "get", "p.srp"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string saved = readFile("p.srp");
    const std::string steps = " 100.0 10 20 10 0 \t\t\t\t\t\t\t\t 150.0 5 5 8 0 \t\t\t\t\t\t\t\t";
    EXPECT_EQ(saved.substr(0, steps.size()), steps);
    EXPECT_EQ(saved.substr(saved.size() - 6), "   5.0");

    for (uint16_t a = 0x32; a <= 0x5A; ++a)
        sim->setReg(a, 0);
    sim->clearRequestLog();
    r = q7({"program", "put", "p.srp"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim->reg(0x34), 1000);
    EXPECT_EQ(sim->reg(0x3B), 8);
    EXPECT_EQ(sim->reg(0x32), 50);
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 43u); // the probe, the decimal point, 40 step registers and the band
    EXPECT_EQ(sent[2], "01 06 00 33 00 0A");
    EXPECT_EQ(sent[42], "01 06 00 32 00 32");

    r = q7({"program", "run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim->reg(0x03), 5);
    // The run is recorded with the table as it ran, and shown as the line's open run.
    r = q7({"run", "--status"});
    EXPECT_NE(r.out.find(": the controller's own step program on COM1 id 1, started "),
              std::string::npos)
        << r.out;
    EXPECT_EQ(q7({"program", "stop"}).status, 0);
    EXPECT_EQ(sim->reg(0x03), 0);
    auto opened = RunStore::open(path(kRunStoreFile));
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<RunStore>>(opened));
    RunStore& store = *std::get<std::unique_ptr<RunStore>>(opened);
    const auto run = store.load(1);
    ASSERT_TRUE(run.found());
    EXPECT_EQ(run->state.kind, RunKind::steps);
    EXPECT_EQ(run->state.programText, saved);
    EXPECT_EQ(run->state.outcome, RunOutcome::stopped);
    EXPECT_TRUE(store.unfinished()->empty());
}

TEST_F(Commands, PidBlockMovesThroughPidFiles) {
    Ran r = q7({"pid", "get", "t.pid"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile("t.pid"),
              "   5.00 240 60    0.00    0.00    0.00 15    0.00    0.00    0.00 0");

    writeFile("u.pid", "   7.50 300 45    0.00    0.00    2.50 20    0.00    0.00    0.00 0");
    sim->clearRequestLog();
    r = q7({"pid", "put", "u.pid"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim->reg(0x11), 75);
    EXPECT_EQ(sim->reg(0x12), 300);
    EXPECT_EQ(sim->reg(0x16), 25); // scaled by the controller's decimal point
    EXPECT_EQ(sim->reg(0x17), 20);
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 14u); // the probe, the decimal point, 11 writes, the read back
    EXPECT_EQ(sent[2], "01 06 00 11 00 4B");
    EXPECT_EQ(sent[13], "01 03 00 11 00 0B");
}

TEST_F(Commands, WatchPrintsIsoLinesAndWritesTheDataLog) {
    Ran r = q7({"watch", "--interval", "0.1", "--count", "2", "--log", "w.dat"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex printed("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:"
                             "[0-9]{2}, 25\\.0, -?[0-9]+\\.[0-9]");
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 2u);
    for (const auto& line : out)
        EXPECT_TRUE(std::regex_match(line, printed)) << line;
    const std::regex logged("[0-9]{1,2}/[0-9]{1,2}/[0-9]{4}, [0-9]{2}:[0-9]{2}:[0-9]{2},  25\\.0, "
                            "+-?[0-9]+\\.[0-9]");
    auto log = lines(readFile("w.dat"));
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0], "  Date,       Time,     SV,    PV");
    EXPECT_TRUE(std::regex_match(log[1], logged)) << log[1];

    // An existing log is added to, never started again.
    r = q7({"watch", "--count", "1", "--log", "w.dat"});
    ASSERT_EQ(r.status, 0) << r.err;
    log = lines(readFile("w.dat"));
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(std::regex_match(log[3], logged)) << log[3];
}

TEST_F(Commands, PortsListsWhatTheCommandLineMapsAsListPortsDoes) {
    const Ran r = run({"--com", "5=" + sim->devicePath(), "ports"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("COM5 (" + sim->devicePath() + ")\n"), std::string::npos) << r.out;
    const Ran listed = run({"--com", "5=" + sim->devicePath(), "--list-ports"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, r.out);
}

TEST_F(Commands, ProgressShowsOnATerminalOnly) {
    SilentLine terminal; // stands for the terminal the command runs in
    const Ran r = runQ7(dir, {"--com", "1=" + sim->devicePath(), "read"}, terminal.device);
    ASSERT_EQ(r.status, 0);
    const std::string shown = terminal.sent();
    EXPECT_NE(shown.find("Reading parameters 26/26"), std::string::npos) << shown;
    EXPECT_EQ(lines(r.out).size(), 26u); // the listing itself stays on stdout
}
