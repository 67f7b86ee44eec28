// A cheap Modbus TCP gateway (lazy_gateway.py) in front of the simulator's
// serial line: its serial time-out is shorter than a late answer, it hands
// that answer to the next request, and it may spoil a reply's framing on
// the TCP side. Whatever it does, the commands give the controller's own
// values, or fail.
#include "cli/cli_run.h"
#include "independent_slave.h"

#include <regex>

namespace {

using Requests = std::vector<std::string>;

class LateGateway : public cli::CliTest {
  protected:
    // The simulator behind the gateway, each id Off with PV and SV as set.
    void startBehindGateway(std::vector<uint8_t> ids, const std::vector<std::string>& spoil = {}) {
        gateway.reset();
        sim = std::make_unique<sim::SimController>(sim::SimOptions{.ids = ids, .timeScale = 0.0});
        ASSERT_TRUE(sim->start());
        for (const uint8_t id : ids) {
            sim->setReg(id, 0x0003, 0);
            sim->setReg(id, 0x1000, uint16_t(id * 100 + 35)); // PV 13.5, 23.5, ...
            sim->setReg(id, 0x0000, uint16_t(id * 100 + 50)); // SV 15.0, 25.0, ...
        }
        std::vector<std::string> options{sim->devicePath(), "--tcp"};
        options.insert(options.end(), spoil.begin(), spoil.end());
        gateway = std::make_unique<IndependentSlave>(options, "lazy_gateway.py");
        ASSERT_FALSE(gateway->device().empty()) << gateway->why();
    }
    // The controller answers the nth request of its own (1: the next) after
    // the gateway has given up on it.
    void answerLate(std::vector<int> nth) {
        const int from = sim->requestCount();
        sim->setRequestHook([this, from, nth](int n) {
            if (std::find(nth.begin(), nth.end(), n - from) != nth.end()) sim->delayNext(1.1);
        });
    }
    cli::Ran q7(std::vector<std::string> args) {
        args.insert(args.begin(), {"--com", "1=" + gateway->device()});
        return run(args);
    }

    std::unique_ptr<sim::SimController> sim;
    std::unique_ptr<IndependentSlave> gateway;
};

} // namespace

TEST_F(LateGateway, ALateAnswerIsNeverTakenForAnotherRequestsReply) {
    // Late in turn: the decimal point's read (taken for PV, it read 0.1),
    // the PV read (taken for SV), the SV read; every third request; all.
    for (const std::vector<int>& late :
         std::vector<std::vector<int>>{{2}, {3}, {4}, {3, 6, 9}, {1, 2, 3, 4, 5, 6, 7, 8}}) {
        // A gateway of its own: what the last one still holds is no concern here.
        startBehindGateway({1});
        answerLate(late);
        const cli::Ran r = q7({"get", "pv", "sv"});
        if (late.size() < 8)
            EXPECT_EQ(r.out, "pv 13.5\nsv 15.0\n") << "late: " << late.front() << "\n" << r.err;
        else
            EXPECT_EQ(r.status, 3) << r.out;
        // A gateway's giving up is the controller's silence, asked again,
        // never a refusal.
        EXPECT_EQ(r.err.find("refus"), std::string::npos) << r.err;
    }
}

// A gateway that answers an id it has no route for (such as 248) itself,
// at once, with 0B, empties nothing by it: the line proves itself clear on
// the controller's own id, by a read whose answer is told from every
// answer still owed.
TEST_F(LateGateway, AGatewayAnsweringUnroutedIdsItselfStillHandsNoLateAnswerOver) {
    for (const std::vector<int>& late :
         std::vector<std::vector<int>>{{2}, {3}, {4}, {3, 6, 9}, {2, 3}}) {
        startBehindGateway({1}, {"--routes", "1"});
        answerLate(late);
        const cli::Ran r = q7({"get", "pv", "sv"});
        // What is shown is the controller's; what could not be read fails.
        for (const std::string& shown : cli::lines(r.out))
            EXPECT_TRUE(shown == "pv 13.5" || shown == "sv 15.0") << shown << "\n" << r.err;
        EXPECT_EQ(r.status == 0, r.out == "pv 13.5\nsv 15.0\n") << r.out << r.err;
    }
}

TEST_F(LateGateway, WatchingTwoControllersShowsEachOnesOwnValues) {
    startBehindGateway({1, 2});
    answerLate({4, 9, 13, 14, 20});
    const cli::Ran r = q7({"--id", "1,2", "watch", "--interval", "0.1", "--count", "4"});
    // "ID, TIME, SV, PV": each line the values of the id it names.
    const std::regex line(R"((\d), [0-9T:+-]+, ([0-9.]+), ([0-9.]+))");
    int shown = 0;
    std::istringstream out(r.out);
    for (std::string text; std::getline(out, text); ++shown) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        const std::string id = m[1];
        EXPECT_EQ(m[2].str() + " " + m[3].str(), id == "1" ? "15.0 13.5" : "25.0 23.5") << text;
    }
    EXPECT_GE(shown, 4) << r.err;
}

TEST_F(LateGateway, RepliesCutShortOrWithALyingLengthCostOnlyTheirOwnRequest) {
    startBehindGateway({1}, {"--cut-every", "6", "--lie-every", "9"});
    for (int n = 1; n <= 3; ++n) {
        const std::string file = "b" + std::to_string(n) + ".prm";
        // A host busy enough to hold the gateway past its time-out makes a
        // retry miss as well, and the backup rightly fails, writing
        // nothing. Each backup meets several spoilt replies, so one that
        // cost more than its own request would fail every try: a backup
        // is asked up to three times.
        cli::Ran r;
        for (int tries = 0; tries < 3; ++tries) {
            r = q7({"backup", file});
            if (r.status == 0) break;
            EXPECT_FALSE(exists(file)) << r.err;
            EXPECT_TRUE(r.status == 1 || r.status == 3) << r.err;
        }
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(exists(file));
    }
    EXPECT_EQ(readFile("b1.prm"), readFile("b3.prm"));
}

TEST_F(LateGateway, AnIdNoControllerCanHaveInDftComIsRefusedAndNothingIsSent) {
    startBehindGateway({1});
    writeFile("DftCom.prm", "COM1=" + gateway->device() + ", 19200, 257");
    sim->clearRequestLog();
    const cli::Ran r = run({"set", "sv", "30.0"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("DftCom.prm holds the controller id \"257\""), std::string::npos) << r.err;
    EXPECT_EQ(sim->requestLog(), Requests{});
    EXPECT_EQ(gateway->requests(), Requests{});
}
