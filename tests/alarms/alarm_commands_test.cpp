// The alarm rules in the real q7 against the simulated controller: a file
// with a bad line is refused before anything goes out, `watch` runs a
// rule's command and switches the controller Off through the checked mode
// write, `run` holds a run whose kiln lags its ramp and records why, and
// `alarms test` sends through a rule's notifications to a listener of the
// test's own.
#include "cli/cli_run.h"
#include "link/registers.h"
#include "runs/run_store.h"
#include "support/child_process.h"

#include <csignal>
#include <sys/stat.h>

using namespace cli;

namespace {

class Alarms : public CliSimTest {
  protected:
    // A script that appends its rule, controller and PV to seen.txt.
    std::string hook() const {
        writeFile("hook.sh", "#!/bin/sh\necho \"$Q7_RULE $Q7_LINE $Q7_ID pv=$Q7_PV\" >> " +
                                 path("seen.txt") + "\n");
        chmod(path("hook.sh").c_str(), 0755);
        return path("hook.sh");
    }
    // Waits (30 s at most) until the file holds text.
    bool holds(const std::string& name, const std::string& text) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < end) {
            if (readFile(name).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
};

} // namespace

TEST_F(Alarms, ABadFileIsRefusedWithItsLineBeforeAnythingIsSent) {
    writeFile("bad.conf", "[rule hot]\nwhen = pv > 100\ndo = notify, beep\n");
    for (const char* command : {"watch", "run"}) {
        std::vector<std::string> args = {"--alarms", "bad.conf", command};
        if (std::string(command) == "run") args.insert(args.end(), {"--program", "x.q7p"});
        const Ran r = q7(args);
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_EQ(r.err, "q7: bad.conf line 3: unknown action 'beep'; nothing was sent\n")
            << command;
    }
    // alarms.conf in the working folder is read without being named.
    writeFile("alarms.conf", "[rule hot]\nwhen = pv > 100 for 1\ndo = log\n");
    EXPECT_NE(q7({"watch"}).err.find("alarms.conf line 2: for takes M:SS"), std::string::npos);
    // Only the commands that poll apply rules; another refuses the option.
    EXPECT_EQ(q7({"--alarms", "bad.conf", "get", "pv"}).status, 2);
    EXPECT_TRUE(sim->requestLog().empty());
}

TEST_F(Alarms, WatchRunsTheRulesCommandOnceAndSwitchesTheControllerOff) {
    ASSERT_EQ(sim->reg(reg::controlMode), 1); // On
    writeFile("kiln.conf", "[rule runaway]\nwhen = pv > 0\ndo = command " + hook() + ", off\n");
    const Ran r = q7({"--alarms", "kiln.conf", "watch", "--count", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 3u) << r.out;
    // One event on stderr, with what was done.
    const auto said = lines(r.err);
    ASSERT_EQ(said.size(), 1u) << r.err;
    EXPECT_NE(said[0].find(" alarm rule runaway on COM1 id 1 (pv "), std::string::npos) << said[0];
    EXPECT_NE(said[0].find("; off done"), std::string::npos) << said[0];
    EXPECT_EQ(sim->reg(reg::controlMode), 0); // Off
    // The mode went out as the checked write sends it: id 1, function 06, 0x0003, Off.
    bool modeWritten = false;
    for (const std::string& req : sim->requestLog())
        modeWritten = modeWritten || req.rfind("01 06 00 03 00 00", 0) == 0;
    EXPECT_TRUE(modeWritten);
    ASSERT_TRUE(holds("seen.txt", "runaway COM1 1 pv="));
    EXPECT_EQ(lines(readFile("seen.txt")).size(), 1u); // once, not once per sample
}

TEST_F(Alarms, RunHoldsARunWhoseKilnLagsItsRampAndRecordsTheEvent) {
    simOptions.timeScale = 60;
    simOptions.slowed = {{1, 0.05}};
    sim->stop();
    sim = std::make_unique<sim::SimController>(simOptions);
    ASSERT_TRUE(sim->start());
    writeFile("ramp.q7p", "[program]\nname = Ramp\nunit = C\nstart = pv\nholdback = 0\n"
                          "end = hold\n[segments]\n300 400 0:00\n");
    writeFile("alarms.conf", "[rule stalled]\nwhen = rate < 50% for 1:00\ndo = notify, hold\n");
    const pid_t pid = startQ7(dir, {"--com", "1=" + sim->devicePath(), "run", "--program",
                                    "ramp.q7p", "--time-scale", "60", "--force"});
    ASSERT_TRUE(holds(".stdout", "paused: alarm rule stalled on COM1 id 1")) << readFile(".stdout");
    kill(pid, SIGINT);
    const Ran r = finishQ7(pid, dir);
    EXPECT_EQ(r.status, 130) << r.err;
    // The event once, among the run's own, with what was done.
    std::vector<std::string> events;
    for (const std::string& line : lines(r.out))
        if (line.size() > 9 && line.compare(9, 19, "alarm rule stalled ") == 0)
            events.push_back(line);
    ASSERT_EQ(events.size(), 1u) << r.out;
    EXPECT_NE(events[0].find("alarm rule stalled on COM1 id 1 (pv "), std::string::npos);
    EXPECT_NE(events[0].find("): notify printed; hold done"), std::string::npos) << events[0];
    auto opened = RunStore::open(path(kRunStoreFile));
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<RunStore>>(opened));
    auto& store = *std::get<std::unique_ptr<RunStore>>(opened);
    int alarms = 0;
    for (const RunEvent& e : *store.events(1))
        if (e.kind == EventKind::alarm) {
            ++alarms;
            EXPECT_EQ(e.text.rfind("rule stalled on COM1 id 1", 0), 0u) << e.text;
            EXPECT_EQ(e.zone, 0);
        }
    EXPECT_EQ(alarms, 1);
}

TEST_F(Alarms, AlarmsTestSendsThroughEachNotifyingActionAndSaysWhatHappened) {
    ChildProcess listener({"/usr/bin/python3", Q7_TESTS_DIR "/alarms/http_listener.py",
                           path("posts.jsonl"), "s3cret"},
                          true);
    const std::string base = "http://127.0.0.1:" + listener.firstLine();
    ChildProcess mail(
        {"/usr/bin/python3", Q7_TESTS_DIR "/alarms/smtp_listener.py", path("mail.jsonl")}, true);
    writeFile("credentials", "kiln:pw\nntfy_token = tk_abc\nwebhook_secret = s3cret\n"
                             "smtp_server = 127.0.0.1:" +
                                 mail.firstLine(std::chrono::seconds(20)) +
                                 "\nsmtp_from = kiln@example.com\nsmtp_starttls = no\n");
    chmod(path("credentials").c_str(), 0600);
    writeFile("t.conf", "[rule hot]\nwhen = pv > 100\ndo = ntfy " + base + "/kiln, webhook " +
                            base + "/hook, email ops@example.com, command " + hook() +
                            ", off, webhook http://127.0.0.1:1/down\n");
    const Ran r =
        q7({"--alarms", "t.conf", "alarms", "test", "hot", "--credentials", path("credentials")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "ntfy " + base +
                         "/kiln: sent (HTTP 200 OK)\n"
                         "webhook " +
                         base +
                         "/hook: sent (HTTP 200 OK)\n"
                         "email ops@example.com: sent (250 2.0.0 taken)\n"
                         "command " +
                         hook() +
                         ": ran\n"
                         "off: not tried: a test tells, it does not act\n"
                         "webhook http://127.0.0.1:1/down: failed: connection refused\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readFile("seen.txt"), "hot test 0 pv=\n");
    // The token and the signature went out; the listener checked the signature.
    const std::string posts = readFile("posts.jsonl");
    EXPECT_NE(posts.find("\"authorization\": \"Bearer tk_abc\""), std::string::npos) << posts;
    EXPECT_NE(posts.find("\"signed\": true"), std::string::npos) << posts;
    EXPECT_NE(posts.find("\"title\": \"q7 test: rule hot\""), std::string::npos) << posts;
    const std::string mails = readFile("mail.jsonl");
    EXPECT_NE(mails.find("Subject: q7 test: rule hot\\r\\n"), std::string::npos) << mails;
    EXPECT_TRUE(sim->requestLog().empty()); // the controller was not asked

    // A credentials file others may read is refused; so is a rule that is not there.
    chmod(path("credentials").c_str(), 0644);
    const Ran open =
        q7({"--alarms", "t.conf", "alarms", "test", "hot", "--credentials", path("credentials")});
    EXPECT_EQ(open.status, 2);
    EXPECT_NE(open.err.find("may be read by others (chmod 600"), std::string::npos) << open.err;
    const Ran none = q7({"--alarms", "t.conf", "alarms", "test", "cold"});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, "q7: no rule is called cold in t.conf\n");
}
