// Replays every input kept for the fuzz targets (the seeds and each input
// that once made a target fail) through the same target code, so a fixed
// fault stays fixed in the ordinary test run.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
int fuzz_com_settings(const uint8_t*, size_t);
int fuzz_parameter_file(const uint8_t*, size_t);
int fuzz_pid_file(const uint8_t*, size_t);
int fuzz_yscale(const uint8_t*, size_t);
int fuzz_srp(const uint8_t*, size_t);
int fuzz_read_reply(const uint8_t*, size_t);
int fuzz_exception_reply(const uint8_t*, size_t);
int fuzz_pid_reply(const uint8_t*, size_t);
int fuzz_poll_replies(const uint8_t*, size_t);
int fuzz_debug_reply(const uint8_t*, size_t);
int fuzz_serve_config(const uint8_t*, size_t);
int fuzz_http_head(const uint8_t*, size_t);
int fuzz_ws_frame(const uint8_t*, size_t);
}

namespace {

namespace fs = std::filesystem;
using Target = int (*)(const uint8_t*, size_t);

struct Named {
    const char* name;
    Target run;
};

constexpr Named kTargets[] = {
    {"fuzz_com_settings", fuzz_com_settings},
    {"fuzz_parameter_file", fuzz_parameter_file},
    {"fuzz_pid_file", fuzz_pid_file},
    {"fuzz_yscale", fuzz_yscale},
    {"fuzz_srp", fuzz_srp},
    {"fuzz_read_reply", fuzz_read_reply},
    {"fuzz_exception_reply", fuzz_exception_reply},
    {"fuzz_pid_reply", fuzz_pid_reply},
    {"fuzz_poll_replies", fuzz_poll_replies},
    {"fuzz_debug_reply", fuzz_debug_reply},
    {"fuzz_serve_config", fuzz_serve_config},
    {"fuzz_http_head", fuzz_http_head},
    {"fuzz_ws_frame", fuzz_ws_frame},
};

int replayAll(const fs::path& dir, Target run) {
    int count = 0;
    if (!fs::is_directory(dir)) return 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(run(bytes.data(), bytes.size()), 0);
        ++count;
    }
    return count;
}

} // namespace

TEST(FuzzReplay, SeedsAndKeptFailuresPassEveryTarget) {
    const fs::path root = Q7_FUZZ_DIR;
    int seeds = 0;
    for (const Named& t : kTargets) {
        SCOPED_TRACE(t.name);
        const int n = replayAll(root / "seeds" / t.name, t.run);
        EXPECT_GT(n, 0) << "every target has a seed to start from";
        seeds += n;
        replayAll(root / "regressions" / t.name, t.run);
    }
    EXPECT_GT(seeds, 0);
}

TEST(FuzzReplay, EmptyAndTinyInputs) {
    const uint8_t bytes[3] = {0, 0, 0};
    for (const Named& t : kTargets)
        for (size_t n = 0; n <= sizeof bytes; ++n)
            EXPECT_EQ(t.run(bytes, n), 0) << t.name;
}
