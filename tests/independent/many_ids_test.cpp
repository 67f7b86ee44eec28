// Several controllers on one serial line, against pymodbus answering ids 1,
// 2 and 7: the scan finds exactly those, and a list of ids reaches each.
#include "cli/cli_run.h"
#include "independent_slave.h"

namespace {

class ManyIds : public cli::CliTest {};

} // namespace

TEST_F(ManyIds, ScanFindsExactlyTheIdsServedAndEachIdOfAListAnswers) {
    IndependentSlave slave({"--id", "1,2,7", "--set", "7:0x1000=317"});
    ASSERT_FALSE(slave.device().empty()) << slave.why();
    cli::Ran r = run({"--com", "1=" + slave.device(), "scan", "--ids", "1-9"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 @\n2 @\n7 @\n");

    r = run({"--com", "1=" + slave.device(), "--id", "1,7", "get", "pv"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto shown = cli::lines(r.out);
    ASSERT_EQ(shown.size(), 2u) << r.out;
    EXPECT_EQ(shown[0].rfind("1 pv ", 0), 0u) << shown[0];
    EXPECT_EQ(shown[1], "7 pv 31.7");
}
