// The real program with --trace, killed outright: every line it wrote is in
// the file, whole.
#include "cli/cli_run.h"
#include "e2e/program_run.h"

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class TraceKill : public e2e::ProgramRun {};

} // namespace

TEST_F(TraceKill, KilledProgramLosesNoTraceLine) {
    const std::string trace = dir + "/trace.csv";
    start({"--simulate", "--trace", trace});
    // The connection and a few polls: lines the system holds, whatever
    // becomes of the program.
    std::size_t seen = 0;
    ASSERT_TRUE(e2e::waitFor(
        [&] {
            seen = linesOf(e2e::slurp(trace)).size();
            return seen >= 9;
        },
        std::chrono::seconds(60)))
        << e2e::slurp(trace) << err();
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;

    const std::string text = e2e::slurp(trace);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n') << "a cut line";
    const std::vector<std::string> lines = linesOf(text);
    EXPECT_GE(lines.size(), seen);
    EXPECT_EQ(lines[0].rfind("time,direction,bytes", 0), 0u);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        EXPECT_TRUE(lines[i].find(i % 2 ? ",TX," : ",RX,") == 29) << "time stamp, then direction";
    }
    // The probe goes first, to the address the controller answers on any id;
    // its line was written as it went out, before its verdict was known.
    EXPECT_NE(lines[1].find(",TX,01 03 1F 00 00 01 83 DE,,read 0x1F00 Identification,1,"),
              std::string::npos);
}

// The line of a request is written before the request goes out, so a
// program killed while it waits for the reply still leaves what it sent.
TEST_F(TraceKill, KilledWhileAwaitingAReplyLeavesTheFrameItSent) {
    cli::SilentLine line;
    ASSERT_FALSE(line.device.empty());
    const std::string trace = dir + "/trace.csv";
    start({"--com", "1=" + line.device, "--trace", trace, "probe"});
    ASSERT_TRUE(e2e::waitFor([&] { return line.sent().size() >= 8; }, std::chrono::seconds(30)))
        << err();
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;

    const std::vector<std::string> lines = linesOf(e2e::slurp(trace));
    ASSERT_EQ(lines.size(), 2u) << e2e::slurp(trace);
    EXPECT_EQ(lines[1].substr(29), ",TX,01 03 1F 00 00 01 83 DE,,read 0x1F00 Identification,1,");
}

namespace {

class CommandTrace : public cli::CliSimTest {};

} // namespace

// A headless command traces its line the same way: every request the
// controller received, in order, byte for byte, each with its reply.
TEST_F(CommandTrace, TraceHoldsEveryFrameOfACommand) {
    const cli::Ran r = q7({"--trace", path("t.csv"), "get", "pv"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> sent, replies;
    for (const std::string& line : linesOf(readFile("t.csv"))) {
        if (line.find(",TX,") == 29) sent.push_back(line.substr(33, 23));
        if (line.find(",RX,") == 29) replies.push_back(line);
    }
    EXPECT_EQ(sent, sim->requestLog());
    ASSERT_EQ(replies.size(), sent.size());
    EXPECT_NE(replies.back().find(",good,read 0x1000 PV → "), std::string::npos) << replies.back();
}
