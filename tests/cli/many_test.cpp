// Several controllers on one line: the scan, and commands given a list of
// ids, against the simulator answering ids 1, 2 and 7 on a real
// pseudo-terminal.
#include "cli_run.h"

using namespace cli;

namespace {

class Many : public CliSimTest {
  protected:
    void SetUp() override {
        simOptions.ids = {1, 2, 7};
        CliSimTest::SetUp();
    }
};

} // namespace

TEST_F(Many, ScanListsExactlyTheIdsThatAnswer) {
    Ran r = q7({"scan", "--ids", "1-9"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 @\n2 @\n7 @\n");
    // Each id is asked once, the silent ones included, and the id found last
    // once more, to see that no relay still holds a request of the scan.
    EXPECT_EQ(sim->requestLog(),
              (std::vector<std::string>{"01 03 1F 00 00 01 83 DE", "02 03 1F 00 00 01 83 ED",
                                        "07 03 1F 00 00 01 83 B8", "07 03 1F 00 00 01 83 B8"}));

    SilentLine off;
    r = run({"--com", "1=" + off.device, "scan", "--ids", "1-3"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no controller answered"), std::string::npos) << r.err;
    // Each probe on the wire, in order: 03 1F 00 00 01 to ids 1, 2 and 3.
    EXPECT_EQ(off.sent(), std::string("\x01\x03\x1F\x00\x00\x01\x83\xDE"
                                      "\x02\x03\x1F\x00\x00\x01\x83\xED"
                                      "\x03\x03\x1F\x00\x00\x01\x82\x3C",
                                      24));

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"scan", "--ids", "0-3"},
                                                {"scan", "--ids", "5-3"},
                                                {"--id", "1,2,1", "get", "pv"},
                                                {"--id", "1,2", "set", "sv", "50"},
                                                {"--id", "1,,2", "probe"}}) {
        r = q7(bad);
        EXPECT_EQ(r.status, 2) << bad[1] << ": " << r.err;
    }
    EXPECT_EQ(sim->reg(1, 0x00), sim->reg(2, 0x00)); // no SV went to id 1 alone
    EXPECT_NE(r.err.find("empty place"), std::string::npos) << r.err;
}

TEST_F(Many, EachControllerInTurnAndOneSilentDoesNotStopTheOthers) {
    sim->setReg(7, 0x00, 1234); // id 7's own SV: 123.4
    Ran r = q7({"--id", "1,7", "get", "pv", "sv"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto shown = lines(r.out);
    ASSERT_EQ(shown.size(), 2u) << r.out;
    EXPECT_EQ(shown[0].rfind("1 pv ", 0), 0u) << shown[0];
    EXPECT_EQ(shown[1].rfind("7 pv ", 0), 0u) << shown[1];
    EXPECT_NE(shown[1].find(" sv 123.4"), std::string::npos) << shown[1];

    // Each controller's values in its own decimal point: id 1 has none.
    sim->setReg(1, 0x21, 0);
    r = q7({"--id", "1,7", "watch", "--count", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto watched = lines(r.out);
    ASSERT_EQ(watched.size(), 2u) << r.out;
    EXPECT_NE(watched[0].find(", 250, "), std::string::npos) << watched[0];
    EXPECT_NE(watched[1].find(", 123.4, "), std::string::npos) << watched[1];

    r = q7({"--id", "1,5,7", "probe"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "1 @\n7 @\n");
    EXPECT_EQ(r.err.rfind("q7: id 5: no answer", 0), 0u) << r.err;

    r = q7({"--id", "2,5,7", "backup", "oven{id}.prm"});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(exists("oven2.prm"));
    EXPECT_FALSE(exists("oven5.prm"));
    EXPECT_TRUE(exists("oven7.prm"));
    EXPECT_EQ(q7({"--id", "2,7", "backup", "oven.prm"}).status, 2);
}
