// The files a command writes share the system with everything else: what is
// at the target is respected, and a disk that fills up leaves whole lines.
#include "cli_run.h"

#include <cerrno>
#include <cstring>
#include <regex>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace cli;

namespace {

mode_t modeOf(const std::string& path, bool followLink = true) {
    struct stat st {};
    if ((followLink ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return 0;
    return st.st_mode;
}

const std::regex kLogLine("[0-9]+/[0-9]+/[0-9]{4}, [0-9:]{8},  25\\.0, +-?[0-9]+\\.[0-9]");

} // namespace

TEST_F(CliSimTest, BackupFollowsALinkKeepsTheModeAndRefusesWhatIsNoFile) {
    ASSERT_EQ(mkdir(path("real").c_str(), 0755), 0);
    writeFile("real/a.prm", "old");
    ASSERT_EQ(chmod(path("real/a.prm").c_str(), 0640), 0);
    ASSERT_EQ(symlink("real/a.prm", path("link.prm").c_str()), 0);
    const Ran r = q7({"backup", "link.prm"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISLNK(modeOf(path("link.prm"), false)));
    EXPECT_EQ(modeOf(path("real/a.prm")) & 07777, 0640u);
    EXPECT_EQ(lines(readFile("real/a.prm")).size(), 1u);
    EXPECT_NE(readFile("real/a.prm"), "old");

    // A FIFO (or a device, where this user may make one) is left as it is,
    // before anything is asked of the controller.
    ASSERT_EQ(mkfifo(path("fifo.prm").c_str(), 0644), 0);
    std::vector<std::string> targets{"fifo.prm"};
    if (mknod(path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) targets.push_back("null");
    for (const std::string& target : targets) {
        sim->clearRequestLog();
        const mode_t before = modeOf(path(target));
        const Ran refused = q7({"backup", target});
        EXPECT_EQ(refused.status, 2) << target << ": " << refused.err;
        EXPECT_NE(refused.err.find(target), std::string::npos) << refused.err;
        EXPECT_TRUE(requests().empty()) << target;
        EXPECT_EQ(modeOf(path(target)), before) << target;
    }
}

// A tmpfs three pages big: a log and a trace each fill one page but for ten
// bytes, and a filler takes the last page. The next line starts in those
// ten bytes and cannot end.
class FullDisk : public CliSimTest {
  protected:
    void SetUp() override {
        CliSimTest::SetUp();
        const long page = sysconf(_SC_PAGESIZE);
        ASSERT_EQ(mkdir(path("full").c_str(), 0755), 0);
        const std::string size = "size=" + std::to_string(3 * page);
        if (mount("tmpfs", path("full").c_str(), "tmpfs", 0, size.c_str()) != 0)
            GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
        mounted_ = true;
        almost = std::string(std::size_t(page) - 11, '#') + "\n";
        writeFile("full/w.dat", almost);
        writeFile("full/t.csv", almost);
        std::ofstream filler(path("full/filler"), std::ios::binary);
        const std::string chunk(std::size_t(page), '.');
        for (int i = 0; i < 8 && filler.write(chunk.data(), page); ++i) {
        }
    }
    void TearDown() override {
        if (mounted_) umount2(path("full").c_str(), MNT_DETACH);
        CliSimTest::TearDown();
    }

    std::string almost;

  private:
    bool mounted_ = false;
};

TEST_F(FullDisk, LogAndTraceTakeBackTheLineThatDoesNotFitAndTheCommandFails) {
    const Ran logged = q7({"watch", "--count", "1", "--log", "full/w.dat"});
    EXPECT_NE(logged.status, 0);
    EXPECT_NE(logged.err.find(std::strerror(ENOSPC)), std::string::npos) << logged.err;
    EXPECT_EQ(readFile("full/w.dat"), almost);

    const Ran traced = q7({"--trace", "full/t.csv", "get", "pv"});
    EXPECT_NE(traced.status, 0);
    EXPECT_NE(traced.err.find(std::strerror(ENOSPC)), std::string::npos) << traced.err;
    EXPECT_EQ(readFile("full/t.csv"), almost);
}

// A last line cut short earlier (a crash, a full disk in another program)
// stays a line of its own; the next one is not joined onto it.
TEST_F(CliSimTest, LogAndTraceNeverJoinALineOntoOneCutShort) {
    writeFile("w.dat", "  Date,       Time,     SV,    PV\n12/8/2026, 01:07");
    writeFile("t.csv", "time,direction,bytes\n2026-08-12T01:07");
    const Ran r = q7({"--trace", "t.csv", "watch", "--count", "1", "--log", "w.dat"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto log = lines(readFile("w.dat"));
    ASSERT_EQ(log.size(), 3u) << readFile("w.dat");
    EXPECT_EQ(log[1], "12/8/2026, 01:07");
    EXPECT_TRUE(std::regex_match(log[2], kLogLine)) << log[2];
    const auto trace = lines(readFile("t.csv"));
    ASSERT_GE(trace.size(), 4u);
    EXPECT_EQ(trace[1], "2026-08-12T01:07");
    EXPECT_NE(trace[2].find(",TX,"), std::string::npos) << trace[2];
}
