// Two programs on one line: the second is turned away, root included, and
// names who holds the port, while the first reads on undisturbed.
#include "cli_run.h"
#include "support/gui_fixture.h"

#include <algorithm>
#include <csignal>
#include <iomanip>
#include <regex>

using namespace cli;

TEST_F(CliSimTest, SecondProgramOnThePortIsRefusedByNameWhileTheFirstReadsOn) {
    std::string name = sim->devicePath().substr(5); // "/dev/pts/5" -> "pts_5"
    std::replace(name.begin(), name.end(), '/', '_');
    const std::string lock = "/run/lock/LCK.." + name;
    const std::vector<std::string> line{"--com", "1=" + sim->devicePath()};
    // The shortest interval, which a sample outlasts: a signal still ends the watch.
    std::vector<std::string> watch = line;
    watch.insert(watch.end(), {"watch", "--interval", "0.1"});
    const pid_t first = startQ7(dir, watch, "", ".first");
    const auto samples = [&] { return lines(slurp(dir + "/.stdout.first")).size(); };
    ASSERT_TRUE(waitUntil([&] { return samples() >= 2; }));

    std::vector<std::string> get = line;
    get.insert(get.end(), {"get", "pv"});
    const Ran second = run(get);
    EXPECT_EQ(second.status, 3);
    EXPECT_NE(second.err.find("in use by process " + std::to_string(first)), std::string::npos)
        << second.err;
    EXPECT_NE(second.err.find(lock), std::string::npos) << second.err;

    const std::size_t before = samples();
    ASSERT_TRUE(waitUntil([&] { return samples() >= before + 3; }));
    kill(first, SIGTERM);
    const Ran watched = finishQ7(first, dir, ".first");
    EXPECT_EQ(watched.status, 0) << watched.err;
    const std::regex sample("[^,]+, 25\\.0, -?[0-9]+\\.[0-9]");
    for (const std::string& s : lines(watched.out))
        EXPECT_TRUE(std::regex_match(s, sample)) << s;
    EXPECT_NE(access(lock.c_str(), F_OK), 0) << "freed when the program ends";

    // A lock left by a process that is gone (a crash) is taken over.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    std::ofstream(lock) << std::setw(10) << gone << "\n";
    const Ran after = run(get);
    EXPECT_EQ(after.status, 0) << after.err;
    EXPECT_NE(access(lock.c_str(), F_OK), 0);
}
