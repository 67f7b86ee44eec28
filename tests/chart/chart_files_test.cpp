// The scale file and the data log's lines, byte for byte.
#include "chart/data_log.h"
#include "chart/yscale_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(YScaleFile, ReadsFieldsInOrderAndStopsAtTheFirstBadOne) {
    ChartScale s{1, 2, 3};
    parseYScale("200.5\t-10.25\n  300", s);
    EXPECT_EQ(s.yMax, 200.5);
    EXPECT_EQ(s.yMin, -10.25);
    EXPECT_EQ(s.pointsPerScreen, 300);

    ChartScale one{1, 2, 3};
    parseYScale("150\n", one);
    EXPECT_EQ(one.yMax, 150);
    EXPECT_EQ(one.yMin, 2);
    EXPECT_EQ(one.pointsPerScreen, 3);

    ChartScale bad{1, 2, 3};
    parseYScale("+80 nan 40", bad);
    EXPECT_EQ(bad.yMax, 80);
    EXPECT_EQ(bad.yMin, 2) << "an undefined range is no range";
    EXPECT_EQ(bad.pointsPerScreen, 3) << "fields after a bad one are not read";

    ChartScale huge{1, 2, 3};
    parseYScale("10 0 99999999999", huge);
    EXPECT_EQ(huge.pointsPerScreen, 3);

    // The auto-scale choice: a fourth number, 0 or 1, read only when there.
    ChartScale choice{1, 2, 3, true};
    parseYScale("10 0 300 0\n", choice);
    EXPECT_EQ(choice.autoScale, false);
    parseYScale("10 0 300 1", choice);
    EXPECT_EQ(choice.autoScale, true);
    for (const char* text : {"10 0 300", "10 0 300 2", "10 0 300 x", "10 0 x 0"}) {
        ChartScale kept{1, 2, 3, false};
        parseYScale(text, kept);
        EXPECT_EQ(kept.autoScale, false) << text;
    }
}

TEST(YScaleFile, WritesTheFourthNumberOnlyWhenTheChoiceIsKnown) {
    EXPECT_EQ(formatYScale({200.5, -10.25, 300}), "200.500000 -10.250000 300\n");
    EXPECT_EQ(formatYScale({200.5, -10.25, 300, true}), "200.500000 -10.250000 300 1\n");
    EXPECT_EQ(formatYScale({200.5, -10.25, 300, false}), "200.500000 -10.250000 300 0\n");
}

TEST(YScaleFile, RoundTripInTheFixedLayout) {
    char dir[] = "/tmp/q7scale.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/" + kYScaleFile;
    const ChartScale s{200.5, -10.25, 300};
    ASSERT_TRUE(writeYScaleFile(path, s));
    EXPECT_EQ(slurp(path), "200.500000 -10.250000 300\n");
    ChartScale back;
    ASSERT_TRUE(readYScaleFile(path, back));
    EXPECT_EQ(back.yMax, 200.5);
    EXPECT_EQ(back.yMin, -10.25);
    EXPECT_EQ(back.pointsPerScreen, 300);
    ChartScale untouched{7, 8, 9};
    EXPECT_FALSE(readYScaleFile(std::string(dir) + "/missing.txt", untouched));
    EXPECT_EQ(untouched.yMax, 7);
    std::remove(path.c_str());
    rmdir(dir);
}

TEST(DataLogLine, MatchesTheFileLayout) {
    EXPECT_EQ(formatLogLine(3, 7, 2026, "14:05:09", 100.0f, 98.7f),
              "3/7/2026, 14:05:09, 100.0,  98.7");
    EXPECT_EQ(formatLogLine(1, 2, 2026, "00:00:01", -5.25f, 0.0f),
              "1/2/2026, 00:00:01,  -5.2,   0.0");
    const std::string longest = formatLogLine(12, 31, 2026, "23:59:59", -32768.0f, -32768.0f);
    EXPECT_EQ(longest, "12/31/2026, 23:59:59, -32768.0, -32768.0");
    EXPECT_EQ(longest.size(), 40u);
}

class DataLogFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char dir[] = "/tmp/q7log.XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        path = dir_ + "/run.dat";
    }
    void TearDown() override {
        log.close();
        std::remove(path.c_str());
        rmdir(dir_.c_str());
    }
    std::string path;
    std::string dir_;
    DataLog log;
};

TEST_F(DataLogFile, OverwriteStartsWithTheHeaderAndAppendAddsLinesOnly) {
    std::string why;
    ASSERT_TRUE(log.open(path, false, &why)) << why;
    EXPECT_TRUE(log.on());
    ASSERT_TRUE(log.write("a", &why));
    EXPECT_EQ(slurp(path), std::string(kLogHeader) + "\na\n") << "each line is on disk at once";
    log.close();
    EXPECT_FALSE(log.on());
    EXPECT_FALSE(log.fileOpen());
    ASSERT_TRUE(log.open(path, true, &why));
    ASSERT_TRUE(log.write("b", &why));
    log.close();
    EXPECT_EQ(slurp(path), "  Date,       Time,     SV,    PV\na\nb\n");
}

TEST_F(DataLogFile, FailuresAreReportedNotSwallowed) {
    std::string why;
    EXPECT_FALSE(log.open(dir_ + "/no/such/dir.dat", false, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(log.on());

    // A full disk: the header cannot be written, so the log never opens.
    EXPECT_FALSE(log.open("/dev/full", false, &why));
    EXPECT_FALSE(log.on());
    ASSERT_TRUE(log.open("/dev/full", true, &why));
    EXPECT_FALSE(log.write("lost", &why));
    EXPECT_FALSE(why.empty());
    log.close();

    ASSERT_TRUE(log.open(path, false, &why));
    std::remove(path.c_str());
    EXPECT_FALSE(log.write("into a deleted file", &why));
}

// A signal may close the log from the GUI thread while the control thread
// writes: no line is cut, none is lost, none follows the close.
TEST_F(DataLogFile, CloseForExitNeverCutsALine) {
    std::string why;
    ASSERT_TRUE(log.open(path, false, &why)) << why;
    std::atomic<int> written{0};
    std::atomic<bool> stopped{false};
    std::thread writer([&] {
        std::string err;
        for (int i = 0;; ++i) {
            if (!log.write("3/7/2026, 14:05:09, 100.0,  " + std::to_string(i), &err)) break;
            ++written;
        }
        stopped = true;
    });
    while (written < 20 && !stopped)
        std::this_thread::yield();
    EXPECT_FALSE(stopped) << "the writer ran into the close";
    // Asked while the close still holds the log, fileOpen would wait on it.
    { const auto held = log.closeForExit(); }
    EXPECT_FALSE(log.fileOpen());
    writer.join();
    std::istringstream lines(slurp(path));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, kLogHeader);
    int n = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line, "3/7/2026, 14:05:09, 100.0,  " + std::to_string(n));
        ++n;
    }
    EXPECT_EQ(n, written.load());
}

} // namespace
