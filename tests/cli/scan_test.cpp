// The scan from a shell: which ids it asks, what it prints on a terminal,
// and controllers that answer later than the scan's short time-out, behind
// a slow relay or a gateway.
#include "cli_run.h"
#include "support/child_process.h"

#include <algorithm>

using namespace cli;

namespace {

// The simulator answering ids 1, 2 and 7.
class Scan : public CliSimTest {
  protected:
    void SetUp() override {
        simOptions.ids = {1, 2, 7};
        CliSimTest::SetUp();
    }
};

// Waits for a file to appear, for at most a few seconds.
bool appears(const std::string& path) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (access(path.c_str(), F_OK) != 0) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> out = lines(text);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST_F(Scan, IdListOfTheCommandLineIsTheListScanned) {
    const Ran r = q7({"--id", "1-3", "scan"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 @\n2 @\n");
    // Id 7, outside the list, was not asked (the simulator logs its own ids'
    // requests). Id 3 was not heard, so id 2 is asked once more, to see that
    // no relay still holds a request of the scan.
    EXPECT_EQ(requests(), (std::vector<std::string>{"01 03 1F 00 00 01", "02 03 1F 00 00 01",
                                                    "02 03 1F 00 00 01"}));
    EXPECT_EQ(q7({"--id", "1-3", "scan", "--ids", "1-3"}).status, 2);
}

// Stdout and stderr on one terminal: each result and each failure starts on
// a line the progress was taken off.
TEST_F(Scan, OnATerminalResultsDoNotRunOnAfterTheProgress) {
    SilentLine terminal;
    const pid_t pid = startQ7(dir, {"--com", "1=" + sim->devicePath(), "scan", "--ids", "1,3"},
                              terminal.device, "", true);
    ASSERT_EQ(finishQ7(pid, dir).status, 0);
    const std::string shown = terminal.sent();
    EXPECT_NE(shown.find("\r\033[K1 @\r\n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("1/21 @"), std::string::npos) << shown;

    const pid_t none = startQ7(dir, {"--com", "1=" + sim->devicePath(), "scan", "--ids", "3"},
                               terminal.device, "", true);
    ASSERT_EQ(finishQ7(none, dir).status, 3);
    EXPECT_NE(terminal.sent().find("\r\033[Kq7: no controller answered"), std::string::npos)
        << terminal.sent();
}

// Between q7 and the controllers a relay that passes each reply on in order,
// up to 1.15 s after its request: ids whose answers came after the short
// time-out are asked again and found.
TEST_F(Scan, BehindASlowRelayEveryControllerIsFound) {
    const std::string relayDir = path("relay");
    ChildProcess relay({std::string(Q7_TESTS_DIR) + "/independent/relay.py", relayDir,
                        sim->devicePath(), "--max-delay", "1.15", "--seed", "7"});
    ASSERT_TRUE(appears(relayDir + "/ready"));
    const Ran r = run({"--com", "1=" + relayDir + "/master", "scan", "--ids", "1-8"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sortedLines(r.out), (std::vector<std::string>{"1 @", "2 @", "7 @"})) << r.out;
}

// A gateway whose controllers each take 0.5 s to answer, longer than the
// short time-out: each id is awaited as long as its answer may take.
TEST_F(CliTest, BehindAGatewayEveryControllerIsFound) {
    sim::SimOptions options;
    options.ids = {1, 2, 7};
    options.latency = 0.5;
    options.listen.emplace();
    sim::SimController gateway(options);
    ASSERT_TRUE(gateway.start());
    const Ran r = run({"--com", "1=" + gateway.devicePath(), "scan", "--ids", "2,3,7"});
    gateway.stop();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 @\n7 @\n");
}

// Behind a gateway the baud rate is the gateway's setting: a failure names
// the gateway's serial side, never --baud.
TEST_F(CliTest, BehindAGatewayFailuresNameItsSerialSideNotBaud) {
    sim::SimOptions options;
    options.listen.emplace();
    sim::SimController gateway(options);
    ASSERT_TRUE(gateway.start());
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"--id", "5", "probe"}, {"scan", "--ids", "5"}}) {
        std::vector<std::string> args{"--com", "1=" + gateway.devicePath()};
        args.insert(args.end(), command.begin(), command.end());
        const Ran r = run(args);
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_NE(r.err.find("through the gateway: check the gateway's serial settings"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.err.find("--baud"), std::string::npos) << r.err;
    }
    gateway.stop();
}

// A relay that takes one request at a time and waits 1 s for each absent
// id queues the short pass's requests, so id 7's answer comes seconds after
// its time-out, in another id's turn: it is found by that answer, and the
// ids not heard are asked again once the relay has worked through its queue.
TEST_F(Scan, BehindARelayThatQueuesEveryControllerIsFound) {
    const std::string relayDir = path("relay");
    ChildProcess relay({std::string(Q7_TESTS_DIR) + "/independent/relay.py", relayDir,
                        sim->devicePath(), "--max-delay", "0", "--reply-wait", "1"});
    ASSERT_TRUE(appears(relayDir + "/ready"));
    const Ran r = run({"--com", "1=" + relayDir + "/master", "scan", "--ids", "1-10"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 @\n2 @\n7 @\n");
}
