// `q7 run` as a script runs it, on the simulated controller at 60 times
// life with a real runs.sqlite: a run to its end, a run stopped by SIGINT the
// way its program says, and a run killed in its third segment that goes on
// in that segment with --resume, and again, one run with both gaps among its
// events; a run whose end a full disk kept out of the store, and a run on one
// device that another device of the same COM number does not reach.
#include "cli/cli_run.h"
#include "runs/run_store.h"
#include "support/small_disk.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <regex>
#include <sys/stat.h>

using namespace cli;

namespace {

class Run : public CliSimTest {
  protected:
    void SetUp() override {
        simOptions.timeScale = 60;
        CliSimTest::SetUp();
    }
    std::vector<std::string> q7Args(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--com", "1=" + sim->devicePath()});
        return args;
    }
    // Waits (30 s at most) until the running q7's output holds text.
    bool said(const std::string& text) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < end) {
            if (slurp(path(".stdout")).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    std::unique_ptr<RunStore> store() const {
        auto s = RunStore::open(path(kRunStoreFile));
        if (auto* why = std::get_if<std::string>(&s)) {
            ADD_FAILURE() << *why;
            return nullptr;
        }
        return std::move(std::get<std::unique_ptr<RunStore>>(s));
    }
    // The set values written, in tenths, as the simulator received them.
    std::vector<int> svWrites() const {
        std::vector<int> out;
        for (const std::string& r : sim->requestLog())
            if (r.rfind("01 06 00 00 ", 0) == 0)
                out.push_back(std::stoi(r.substr(12, 2) + r.substr(15, 2), nullptr, 16));
        return out;
    }
};

} // namespace

TEST_F(Run, AShortProgramRunsToItsEndAndIsRecorded) {
    writeFile("short.q7p", "[program]\nname = Short\nunit = C\nstart = 20\nend = hold\n"
                           "[segments]\n600 30 0:01\nfull 40 0:01\n-600 35 0:00\n");
    const Ran r = q7({"run", "--program", "short.q7p", "--time-scale", "60", "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto out = lines(r.out);
    // Each event; when it finishes, told once while it keeps to its plan;
    // and the zones at the first poll, the next due only minutes later.
    ASSERT_EQ(out.size(), 8u) << r.out;
    EXPECT_EQ(out[0], "run 1: Short on COM1 (" + sim->devicePath() + ")");
    // 10 °C in tenths at 600 °C/h: 60 s, 6 steps at 10 s; full, 1; 5 down,
    // 3 in 30 s; the targets, and the first SV.
    EXPECT_EQ(out[1], "about 13 set value writes to each controller, a step at most every 10 s "
                      "(min_write, chosen for the program)");
    EXPECT_NE(out[2].find(" started in segment 1 of 3 at 20 °C, 0:04 to go"), std::string::npos);
    EXPECT_NE(out[3].find(" finishes about "), std::string::npos) << out[3];
    EXPECT_NE(out[4].find(" segment 1 of 3, plan SV "), std::string::npos) << out[4];
    EXPECT_NE(out[4].find(" °C: COM1 id 1 PV "), std::string::npos) << out[4];
    EXPECT_NE(out[5].find(" segment 2 of 3: full to 40 °C, hold 0:01"), std::string::npos);
    EXPECT_NE(out[6].find(" segment 3 of 3: -600 °C/h to 35 °C, hold 0:00"), std::string::npos);
    EXPECT_NE(out[7].find(" completed; "), std::string::npos);
    // Each SV written lies on the plan: from 20.0 up to 30.0, then 40.0, and
    // down to 35.0 held at the end.
    const std::vector<int> sv = svWrites();
    ASSERT_GE(sv.size(), 3u);
    EXPECT_EQ(sv.front(), 200);
    EXPECT_EQ(sv.back(), 350);
    for (std::size_t i = 1; i < sv.size(); ++i)
        EXPECT_TRUE(sv[i] >= 200 && sv[i] <= 400) << sv[i];
    EXPECT_EQ(sim->reg(0x0000), 350);

    const auto s = store();
    ASSERT_TRUE(s);
    const auto run = s->load(1);
    ASSERT_TRUE(run.found());
    EXPECT_EQ(run->state.outcome, RunOutcome::completed);
    EXPECT_EQ(run->state.timeScale, 60);
    long writes = 0;
    for (const std::string& req : sim->requestLog())
        writes += req.rfind("01 06 ", 0) == 0;
    EXPECT_EQ(run->state.writes, writes);
    EXPECT_FALSE(s->samples(1)->empty());
    EXPECT_TRUE(s->keptFigures(1).found()); // kept as it ended: a list only reads
    std::vector<std::string> kinds;
    for (const RunEvent& e : *s->events(1))
        kinds.push_back(eventKindName(e.kind));
    EXPECT_EQ(kinds,
              (std::vector<std::string>{"calibration", "start", "segment", "segment", "end"}));
}

// A delayed start says its day; ended before it began, it is no firing and
// takes no batch number, so the next firing of the program is its first.
TEST_F(Run, ADelayedRunSaysItsDayAndOneEndedBeforeItBeganTakesNoBatch) {
    writeFile("short.q7p", "[program]\nname = Short\nunit = C\nstart = 20\nend = hold\n"
                           "[segments]\nfull 30 0:00\n");
    const pid_t pid = startQ7(dir, q7Args({"run", "--program", "short.q7p", "--in", "2:00"}));
    ASSERT_TRUE(said("waiting until "));
    kill(pid, SIGINT);
    const Ran waited = finishQ7(pid, dir);
    EXPECT_TRUE(std::regex_search(
        waited.out,
        std::regex(
            "waiting until \\d\\d:\\d\\d:\\d\\d (today|tomorrow \\(\\d{4}-\\d\\d-\\d\\d\\))\n")))
        << waited.out;
    EXPECT_EQ(q7({"run", "--program", "short.q7p", "--time-scale", "60", "--force"}).status, 0);
    const std::string listed = q7({"runs"}).out;
    EXPECT_TRUE(std::regex_search(listed, std::regex("\n2 +Short +1 ")));
    EXPECT_TRUE(std::regex_search(listed, std::regex("\n1 +Short +- "))) << listed;
    EXPECT_NE(q7({"runs", "show", "1"}).out.find("run 1: Short, no batch, "), std::string::npos);
}

TEST_F(Run, SigintEndsTheRunAsItsProgramSaysAndAKilledRunResumesInItsSegment) {
    writeFile("long.q7p", "[program]\nname = Long\nunit = C\nstart = 20\nend = sv 25\n"
                          "[segments]\n600 30 0:00\n600 40 0:00\n600 50 2:00\n");
    // Alarm 1 is on below 100 °C: the built-in rule tells it at each start,
    // without its log, for which q7 run has no place.
    sim->setReg(0x0006, 2);
    sim->setReg(0x0004, 1000);
    const auto toldAlarm = [](const Ran& r) {
        EXPECT_NE(r.out.find(" alarm rule alarm1 on COM1 id 1 ("), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("): notify printed"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("log not written"), std::string::npos) << r.out;
    };
    pid_t pid = startQ7(dir, q7Args({"run", "--program", "long", "--programs", ".", "--time-scale",
                                     "60", "--force"}));
    ASSERT_TRUE(said("segment 3 of 3"));
    kill(pid, SIGKILL);
    toldAlarm(finishQ7(pid, dir));
    {
        const auto s = store();
        ASSERT_TRUE(s);
        ASSERT_EQ(*s->unfinished(), std::vector<long long>{1});
        EXPECT_EQ(s->load(1)->state.segment, 2);
        EXPECT_EQ(s->events(1)->back().text, "segment 3 of 3: 600 °C/h to 50 °C, hold 2:00");
    }

    // Killed again once the resumed run sampled, and resumed again: one
    // firing, one run, with each gap among its events.
    for (int resumes = 0; resumes < 2; ++resumes) {
        const double lost = *store()->lastSampleTime(1);
        pid = startQ7(dir, q7Args({"run", "--resume"}));
        ASSERT_TRUE(said(" driver lost at "));
        ASSERT_TRUE(said("resumed in segment 3 of 3 at "));
        ASSERT_TRUE(said("; PV "));
        if (resumes == 1) break;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (*store()->lastSampleTime(1) <= lost && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid, SIGKILL);
        finishQ7(pid, dir);
    }
    kill(pid, SIGINT);
    const Ran r = finishQ7(pid, dir);
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_EQ(lines(r.out).front(), "run 1: Long on COM1 (" + sim->devicePath() + ")");
    toldAlarm(r);
    EXPECT_EQ(sim->reg(0x0000), 250); // end = sv 25
    {
        const auto s = store();
        ASSERT_TRUE(s);
        EXPECT_EQ(*s->runIds(), std::vector<long long>{1});
        EXPECT_EQ(s->load(1)->state.outcome, RunOutcome::stopped);
        EXPECT_FALSE(s->load(1)->resumedFrom);
    }
    const std::string listed = q7({"runs"}).out;
    EXPECT_EQ(lines(listed).size(), 2u) << listed;
    EXPECT_TRUE(std::regex_search(listed, std::regex("\n1 +Long +1 "))) << listed;
    const std::string shown = q7({"runs", "show", "1"}).out;
    const std::regex gap(R"(silence: driver lost at \d\d:\d\d:\d\d \(last sample\)\n)"
                         R"(.* resume: resumed in segment 3 of 3 at [^\n]*; PV [^\n]* °C\n)");
    EXPECT_EQ(std::distance(std::sregex_iterator(shown.begin(), shown.end(), gap),
                            std::sregex_iterator()),
              2)
        << shown;
}

TEST_F(Run, StatusAndStopActOnARunNoProcessDrivesOrOneAnotherQ7Drives) {
    writeFile("long.q7p", "[program]\nname = Long\nunit = C\nstart = 20\nend = sv 25\n"
                          "[segments]\n600 30 0:00\n600 40 0:00\n600 50 2:00\n");
    const std::vector<std::string> start =
        q7Args({"run", "--program", "long", "--programs", ".", "--time-scale", "60", "--force"});
    pid_t pid = startQ7(dir, start);
    ASSERT_TRUE(said("segment 3 of 3"));
    kill(pid, SIGKILL);
    finishQ7(pid, dir);
    Ran r = runQ7(dir, q7Args({"run", "--status"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("run 1: Long, running in segment 3 of 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("no process drives it"), std::string::npos) << r.out;
    // Nobody drives it: --stop ends it here, as its program says.
    r = runQ7(dir, q7Args({"run", "--stop"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sim->reg(0x0000), 250);
    {
        const auto s = store();
        ASSERT_TRUE(s);
        EXPECT_EQ(s->load(1)->state.outcome, RunOutcome::stopped);
        EXPECT_TRUE(s->unfinished()->empty());
    }

    // A q7 that runs it still is asked, through the store, and ends it itself.
    pid = startQ7(dir, start);
    ASSERT_TRUE(said("segment 3 of 3"));
    r = runQ7(dir, q7Args({"run", "--status"}));
    EXPECT_NE(r.out.find("run 2: Long, running in segment 3 of 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("driven by q7, pid " + std::to_string(pid)), std::string::npos) << r.out;
    r = runQ7(dir, q7Args({"run", "--stop"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("asked q7 (pid " + std::to_string(pid) + ") to stop run 2"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(finishQ7(pid, dir).status, 1) << "a run stopped is not a run completed";
    const auto s = store();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->load(2)->state.outcome, RunOutcome::stopped);
    r = runQ7(dir, q7Args({"run", "--status"}));
    EXPECT_EQ(r.out, "no open run on COM1\n");
}

TEST_F(Run, ContinueAsksTheQ7ThatDrivesAPausedRunToGoOn) {
    writeFile("long.q7p", "[program]\nname = Long\nunit = C\nstart = 20\nend = sv 25\n"
                          "[segments]\n600 30 0:00\n600 40 0:00\n600 50 2:00\n");
    const pid_t pid = startQ7(dir, q7Args({"run", "--program", "long", "--programs", ".",
                                           "--time-scale", "60", "--force"}));
    ASSERT_TRUE(said("segment 3 of 3"));
    Ran r = runQ7(dir, q7Args({"run", "--continue"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "q7: run 1 is not paused\n");
    // An SV set by hand pauses it; from another shell it goes on.
    sim->setReg(0x0000, 4000);
    sim->setReg(0x1001, 4000);
    ASSERT_TRUE(said("paused: COM1 id 1: ")) << slurp(path(".stdout"));
    r = runQ7(dir, q7Args({"run", "--continue"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("asked q7 (pid " + std::to_string(pid) +
                         ") to go on with run 1\n"
                         "run 1 goes on\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(said("goes on at "));
    kill(pid, SIGINT);
    EXPECT_EQ(finishQ7(pid, dir).status, 130);
}

TEST_F(Run, ZonesOnTwoLinesTakeTheirOffsetsAndTheRunHoldsBackForAWeakZone) {
    // The simulator of the fixture is COM1, with a weak heater on id 7.
    sim->stop();
    simOptions.ids = {1, 7};
    simOptions.slowed = {{7, 0.3}};
    sim = std::make_unique<sim::SimController>(simOptions);
    ASSERT_TRUE(sim->start());
    sim::SimOptions secondOptions;
    secondOptions.slaveId = 3;
    secondOptions.timeScale = 60;
    sim::SimController second(secondOptions);
    ASSERT_TRUE(second.start());
    // Id 7 settles near 143 °C at full power: it cannot follow the plan past that.
    // After ten minutes of the plan held back, the run fails as its end says.
    writeFile("up.q7p", "[program]\nname = Up\nunit = C\nstart = 20\nholdback = 10\nend = hold\n"
                        "max_holdback = 0:10\n[segments]\n3000 200 0:00\n");
    const std::vector<std::string> lines{"--com", "1=" + sim->devicePath(), "--com",
                                         "2=" + second.devicePath()};
    auto args = lines;
    for (const char* a :
         {"run", "--program", "up.q7p", "--zones", "1,7,COM2:3+5", "--time-scale", "60", "--force"})
        args.push_back(a);
    const pid_t pid = startQ7(dir, args);
    ASSERT_TRUE(said("holding back for COM1 id 7: PV "))
        << readFile(".stdout") << readFile(".stderr");
    args = lines;
    args.insert(args.end(), {"run", "--status"});
    const Ran status = finishQ7(startQ7(dir, args, "", ".status"), dir, ".status");
    EXPECT_NE(status.out.find("\n  held back 0:"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find(" waiting for COM1 id 7 ("), std::string::npos) << status.out;
    const Ran r = finishQ7(pid, dir);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find(" failed: failed to reach temperature: COM1 id 7: PV "), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("rule unreached on COM1 id 7"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("run 1: Up on COM1 (" + sim->devicePath() + "), COM2 (" +
                         second.devicePath() + ")"),
              std::string::npos)
        << r.out;
    // The plan stood still while it waited, each zone at its own SV.
    EXPECT_EQ(second.reg(3, 0x0000), sim->reg(1, 0x0000) + 50);
    const auto s = store();
    ASSERT_TRUE(s);
    const auto run = s->load(1);
    ASSERT_TRUE(run.found());
    ASSERT_EQ(run->state.zones.size(), 3u);
    EXPECT_EQ(run->state.zones[2].port, "COM2");
    EXPECT_EQ(run->state.zones[2].id, 3);
    EXPECT_EQ(run->state.zones[2].offset, 5);
    bool heldBack = false;
    for (const RunEvent& e : *s->events(1))
        heldBack = heldBack || (e.kind == EventKind::holdBackStart && e.zone == 1);
    EXPECT_TRUE(heldBack);
    second.stop();
}

// The store on a small disk of its own (a tmpfs), filled while the run goes:
// its end cannot go into the store, and is kept beside it.
TEST_F(Run, ARunThatEndsOnAFullDiskFailsAndIsNeverResumed) {
    const SmallDisk disk(path("disk"));
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    // The working folder keeps q7's output; the store is on the small disk.
    ASSERT_EQ(symlink("disk/runs.sqlite", path(kRunStoreFile).c_str()), 0);
    writeFile("off.q7p", "[program]\nname = Short\nunit = C\nstart = 20\nend = off\n"
                         "[segments]\n600 30 0:02\n");
    const pid_t pid =
        startQ7(dir, q7Args({"run", "--program", "off.q7p", "--time-scale", "60", "--force"}));
    ASSERT_TRUE(said("started in segment 1 of 1"));
    disk.fill();
    const Ran r = finishQ7(pid, dir);
    EXPECT_NE(r.out.find(" completed; "), std::string::npos) << r.out;
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("run 1 went unrecorded: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("its end is kept in "), std::string::npos) << r.err;
    EXPECT_EQ(sim->reg(0x0003), 0); // Off, as the program's end says

    // Space again: the run ended, and nothing writes to the kiln.
    ASSERT_TRUE(disk.free());
    sim->clearRequestLog();
    const Ran again = q7({"run", "--resume"});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("no unfinished run in runs.sqlite on COM1: its last run, run 1 "
                             "(Short), ended: completed"),
              std::string::npos)
        << again.err;
    EXPECT_TRUE(sim->requestLog().empty());
    // The store took the end as the resume opened it.
    const auto s = store();
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->unfinished()->empty());
    EXPECT_EQ(s->load(1)->state.outcome, RunOutcome::completed);
    EXPECT_EQ(s->events(1)->back().kind, EventKind::end);
}

// Two kilns, each COM1 where it was named: a run on one is not the other's.
TEST_F(Run, ARunIsFoundOnItsDeviceNotByItsComNumber) {
    sim::SimOptions otherOptions;
    otherOptions.timeScale = 60;
    sim::SimController other(otherOptions);
    ASSERT_TRUE(other.start());
    const std::vector<std::string> onOther{"--com", "1=" + other.devicePath()};
    const auto there = [&](std::vector<std::string> args) {
        args.insert(args.begin(), onOther.begin(), onOther.end());
        return args;
    };
    writeFile("long.q7p", "[program]\nname = Long\nunit = C\nstart = 20\nend = sv 25\n"
                          "[segments]\n600 30 0:00\n600 40 0:00\n600 50 2:00\n");
    pid_t pid = startQ7(dir, q7Args({"run", "--program", "long", "--programs", ".", "--time-scale",
                                     "60", "--force"}));
    ASSERT_TRUE(said("segment 3 of 3"));
    kill(pid, SIGKILL);
    finishQ7(pid, dir);
    const std::string elsewhere = "run 1 (Long) is open on COM1 as " + sim->devicePath() +
                                  ", and COM1 is " + other.devicePath() + " here";

    Ran r = run(there({"run", "--status"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "no open run on COM1\n  " + elsewhere + "\n");
    r = run(there({"run", "--stop"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no unfinished run on COM1: " + elsewhere), std::string::npos) << r.err;
    r = run(there({"run", "--resume"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no unfinished run in runs.sqlite on COM1: " + elsewhere),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(other.requestLog().empty());
    // The first kiln's run is where it was, and the other takes a run of its own.
    r = q7({"run", "--status"});
    EXPECT_NE(r.out.find("run 1: Long, running in segment 3 of 3"), std::string::npos) << r.out;
    pid = startQ7(dir, there({"run", "--program", "long", "--programs", ".", "--time-scale", "60",
                              "--force"}));
    ASSERT_TRUE(said("run 2: Long on COM1 (" + other.devicePath() + ")"))
        << readFile(".stdout") << readFile(".stderr");
    kill(pid, SIGINT);
    EXPECT_EQ(finishQ7(pid, dir).status, 130);
    other.stop();
}

// The start records the calibration in force for the simulator's controller
// and the PV offset and SW filter it holds, and warns of its due date passed.
TEST_F(Run, TheStartRecordsTheCalibrationInForceAndTheControllersOwnCorrections) {
    writeFile("short.q7p", "[program]\nname = Short\nunit = C\nstart = 20\nend = hold\n"
                           "[segments]\nfull 30 0:00\n");
    writeFile("calibration.txt", "[entry 1]\ndevice = " + sim->devicePath() +
                                     "\nid = 1\nsensor = type K\ndate = 2020-01-01\nunit = C\n"
                                     "point = 500 found 498 left 500 correction 0.5\n"
                                     "by = R. Field\nmethod = comparison\ncertificate = C-9\n"
                                     "due = 2020-01-02\n");
    sim->setReg(0x0001, uint16_t(int16_t(-15))); // PV offset -1.5
    sim->setReg(0x0029, 20);                     // SW filter 2.0
    const Ran r = q7({"run", "--program", "short.q7p", "--time-scale", "60", "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string due =
        "COM1 id 1: calibration entry 1 (certificate C-9) was due 2020-01-02: it is past due";
    EXPECT_NE(r.err.find("q7: warning: " + due + "\n"), std::string::npos) << r.err;
    // Both registers were asked, once each.
    const std::vector<std::string> asked = requests();
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "01 03 00 01 00 01"), 1);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), "01 03 00 29 00 01"), 1);

    const auto s = store();
    ASSERT_TRUE(s);
    std::vector<std::string> stamped;
    for (const RunEvent& e : *s->events(1))
        if (e.kind == EventKind::calibration) stamped.push_back(e.text);
    ASSERT_EQ(stamped.size(), 2u);
    EXPECT_EQ(stamped[0], "COM1 id 1: calibration entry 1: type K, done 2020-01-01 by R. Field "
                          "(comparison), certificate C-9, due 2020-01-02; corrections at 500 "
                          "\xC2\xB0"
                          "C +0.5; PV offset -1.5 \xC2\xB0"
                          "C, SW filter 2.0");
    EXPECT_EQ(stamped[1], due);
    // runs show lists them among the events.
    const std::string shown = q7({"runs", "show", "1"}).out;
    EXPECT_NE(shown.find("  calibration (zone 1): " + due + "\n"), std::string::npos) << shown;
}

// A mark asked from another shell is recorded by the q7 that drives the
// run, at the moment asked, printed there and listed with the run's events.
TEST_F(Run, AMarkAskedFromAnotherShellIsRecordedByTheDriverAndListed) {
    writeFile("long.q7p", "[program]\nname = Long\nunit = C\nstart = 20\nend = sv 25\n"
                          "[segments]\n600 30 0:00\n600 40 0:00\n600 50 2:00\n");
    EXPECT_EQ(runQ7(dir, q7Args({"run", "--mark", "too early"})).err,
              "q7: no unfinished run on COM1\n");
    const pid_t pid = startQ7(dir, q7Args({"run", "--program", "long", "--programs", ".",
                                           "--time-scale", "60", "--force"}));
    ASSERT_TRUE(said("segment 3 of 3"));
    EXPECT_EQ(runQ7(dir, q7Args({"run", "--mark", " "})).status, 2);
    EXPECT_EQ(runQ7(dir, q7Args({"run", "--mark", "a\nb"})).status, 2);
    const Ran r = runQ7(dir, q7Args({"run", "--mark", "cone 6 down"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("asked q7 (pid " + std::to_string(pid) +
                         ") to mark run 1\n"
                         "run 1 is marked\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(said(" mark: cone 6 down\n"));
    kill(pid, SIGINT);
    EXPECT_EQ(finishQ7(pid, dir).status, 130);

    const auto s = store();
    ASSERT_TRUE(s);
    std::vector<std::string> marks;
    for (const RunEvent& e : *s->events(1))
        if (e.kind == EventKind::mark) marks.push_back(e.text);
    EXPECT_EQ(marks, std::vector<std::string>{"cone 6 down"});
    const std::string shown = q7({"runs", "show", "1"}).out;
    EXPECT_NE(shown.find("  mark: cone 6 down\n"), std::string::npos) << shown;
}

// Fields given at the start are recorded as the run opens, one asked from
// another shell is added by the driver, and a later value of a key is an
// entry of its own: runs show gives the latest, the events keep both, and
// the seal covers them.
TEST_F(Run, FieldsAtTheStartAndDuringTheRunAreSealedEntriesAndTheLatestIsShown) {
    writeFile("long.q7p", "[program]\nname = Long\nunit = C\nstart = 20\nend = sv 25\n"
                          "[segments]\n600 30 0:00\n600 40 0:00\n600 50 2:00\n");
    for (const char* bad : {"colour=red", "job", "job=", "notes=a\tb"})
        EXPECT_EQ(
            runQ7(dir, q7Args({"run", "--program", "long", "--programs", ".", "--field", bad}))
                .status,
            2)
            << bad;
    EXPECT_EQ(runQ7(dir, q7Args({"run", "--stop", "--field", "job=A"})).status, 2);
    const pid_t pid = startQ7(
        dir, q7Args({"run", "--program", "long", "--programs", ".", "--field", " job = A-17 ",
                     "--field=operator=Ann", "--time-scale", "60", "--force"}));
    ASSERT_TRUE(said("segment 3 of 3"));
    const Ran r = runQ7(dir, q7Args({"run", "--field", "job=A-18", "--field", "lot=7"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("run 1 has the fields\n"), std::string::npos) << r.out;
    EXPECT_TRUE(said(" field: lot = 7\n"));
    kill(pid, SIGINT);
    EXPECT_EQ(finishQ7(pid, dir).status, 130);

    const auto s = store();
    ASSERT_TRUE(s);
    std::vector<std::string> fields, marks;
    for (const RunEvent& e : *s->events(1)) {
        if (e.kind == EventKind::field) fields.push_back(e.text);
        if (e.kind == EventKind::mark) marks.push_back(e.text);
    }
    EXPECT_EQ(fields,
              (std::vector<std::string>{"job = A-17", "operator = Ann", "job = A-18", "lot = 7"}));
    EXPECT_TRUE(marks.empty()); // a field asked for is never taken for a mark
    const std::string shown = q7({"runs", "show", "1"}).out;
    EXPECT_NE(shown.find("  job: A-18\n  lot: 7\n  operator: Ann\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("field: job = A-17\n"), std::string::npos) << shown;
    const Ran verified = q7({"runs", "verify", "1"});
    EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
    EXPECT_NE(verified.out.find("intact, sealed "), std::string::npos) << verified.out;
}

// records.conf names what a site's runs carry: a file that does not read
// is refused naming its line, and a run without a required field, or with
// a field the site does not use, is refused before the store is written.
TEST_F(Run, RecordsConfRefusesABadLineAndARunWithoutItsRequiredFields) {
    writeFile("short.q7p", "[program]\nname = Short\nunit = C\nstart = 20\nend = hold\n"
                           "[segments]\nfull 30 0:00\n");
    const auto start = [&](std::vector<std::string> fields) {
        std::vector<std::string> args{"run",          "--program", "short.q7p",
                                      "--time-scale", "60",        "--force"};
        for (const std::string& f : fields)
            args.insert(args.end(), {"--field", f});
        return q7(args);
    };
    const std::vector<std::pair<std::string, std::string>> bad{
        {"fields = job\ncolour = red\n", "records.conf line 2: unknown key 'colour'"},
        {"fields = job, colour\n", "records.conf line 1: fields: 'colour' is not a field"},
        {"fields = job\nrequired = operator\n",
         "records.conf line 2: required: operator is not among the fields"},
        {"fields = job\nfields = lot\n", "records.conf line 2: fields is given twice"},
    };
    for (const auto& [text, told] : bad) {
        writeFile("records.conf", text);
        const Ran r = start({"job=A-17"});
        EXPECT_EQ(r.status, 2) << text;
        EXPECT_NE(r.err.find(told), std::string::npos) << r.err;
    }
    writeFile("records.conf", "# this shop's records\nfields = job, customer, operator\n"
                              "required = job, operator\n");
    Ran r = start({"customer=Kiln Works"});
    EXPECT_EQ(r.err, "q7: no run starts without job, operator (records.conf requires them)\n");
    r = start({"job=A-17", "operator=Ann", "lot=7"});
    EXPECT_NE(r.err.find("records.conf does not use the field lot"), std::string::npos) << r.err;
    EXPECT_FALSE(exists(kRunStoreFile));
    r = start({"job=A-17", "operator=Ann"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(q7({"runs", "show", "1"}).out.find("  job: A-17\n  operator: Ann\n"),
              std::string::npos);
}

// A skip, a hold, a target and a rate changed from another shell are made
// by the q7 that drives the run, or refused with the reason, and listed with
// its events.
TEST_F(Run, ASkipAndAnExtendAskedFromAnotherShellAreMadeByTheDriverOrRefused) {
    writeFile("long.q7p", "[program]\nname = Long\nunit = C\nstart = 20\nend = sv 25\n"
                          "[segments]\n600 30 1:00\n600 40 1:00\n600 50 2:00\n");
    EXPECT_EQ(runQ7(dir, q7Args({"run", "--skip"})).err, "q7: no unfinished run on COM1\n");
    const pid_t pid = startQ7(dir, q7Args({"run", "--program", "long", "--programs", ".",
                                           "--time-scale", "60", "--force"}));
    ASSERT_TRUE(said("started in segment 1 of 3"));
    EXPECT_EQ(runQ7(dir, q7Args({"run", "--extend", "1:5"})).status, 2);
    const std::string asker = "by q7 run, pid ";
    Ran r = runQ7(dir, q7Args({"run", "--extend", "0:30"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("asked q7 (pid " + std::to_string(pid) +
                         ") to extend the hold of run 1 by 0:30\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(" segment 1's hold extended by 0:30 " + asker), std::string::npos)
        << r.out;
    r = runQ7(dir, q7Args({"run", "--extend", "-5:00"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("q7: run 1 was not changed: segment 1 has held ", 0), 0u) << r.err;
    // A target is read in the program's unit and checked as its line is.
    EXPECT_EQ(runQ7(dir, q7Args({"run", "--rate", "fast"})).status, 2);
    r = runQ7(dir, q7Args({"run", "--target", "45"}));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "q7: run 1 was not changed: segment 2: the rate 600 climbs, but 40 is below "
                     "the 45 before it: a cool takes a negative rate\n");
    r = runQ7(dir, q7Args({"run", "--target", "35"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(") to change the target of run 1 to 35 °C\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" segment 1's target changed " + asker), std::string::npos) << r.out;
    r = runQ7(dir, q7Args({"run", "--skip"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" segment 1 skipped " + asker), std::string::npos) << r.out;
    EXPECT_TRUE(said("segment 2 of 3"));
    kill(pid, SIGINT);
    EXPECT_EQ(finishQ7(pid, dir).status, 130);

    const auto s = store();
    ASSERT_TRUE(s);
    std::vector<std::string> changes;
    for (const RunEvent& e : *s->events(1))
        if (e.kind == EventKind::change) changes.push_back(e.text.substr(0, 24));
    EXPECT_EQ(changes,
              (std::vector<std::string>{"segment 1's hold extende", "segment 1's target chang",
                                        "segment 1 skipped by q7 "}));
    const std::string shown = q7({"runs", "show", "1"}).out;
    EXPECT_NE(shown.find("change: segment 1 skipped " + asker), std::string::npos) << shown;
}
