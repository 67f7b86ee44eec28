// The headless commands against the simulated controller at 19200 baud, each
// run the real binary in a fresh process with no display:
//   - start-up: from before the process is created to the first request on
//     the wire (the probe), against a 100 ms budget;
//   - `q7 backup`: from process creation to its end, against 1.1 times the
//     bulk read's floor (the settle pause, then per register 0.03 s + the
//     wire time of an 8-byte request and a 7-byte reply + the simulator's
//     latency) plus the start-up measured alongside.
// Medians of five runs.
#include "sim/sim_controller.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kRuns = 5;
constexpr int kRegisters = 26;
constexpr long kBaud = 19200;
constexpr double kStartBudget = 0.100;

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Run {
    double firstRequest = -1, end = -1;
};

// One `q7 backup` against a fresh simulator; nothing but its exit status is kept.
Run backupOnce(const std::string& file) {
    sim::SimOptions options;
    options.baudRate = kBaud;
    sim::SimController controller(options);
    if (!controller.start()) return {};
    std::atomic<Clock::rep> first{0};
    controller.setRequestHook([&](int n) {
        if (n == 1) first = Clock::now().time_since_epoch().count();
    });
    const std::string com = "1=" + controller.devicePath();
    const char* argv[] = {Q7_BINARY, "--com", com.c_str(), "backup", file.c_str(), nullptr};
    // No display: the command must need none.
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("DISPLAY=", 0) != 0 &&
            std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0)
            env.push_back(*e);
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const Clock::time_point spawned = Clock::now();
    pid_t pid = -1;
    const int rc =
        posix_spawn(&pid, Q7_BINARY, &actions, nullptr, const_cast<char**>(argv), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return {};
    int status = 0;
    waitpid(pid, &status, 0);
    const Clock::time_point ended = Clock::now();
    controller.stop();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || first == 0) return {};
    Run run;
    run.firstRequest = seconds(Clock::time_point(Clock::duration(first.load())) - spawned);
    run.end = seconds(ended - spawned);
    return run;
}

void report(const char* what, double measured, double floor) {
    std::printf("%-30s measured %7.2f ms  floor %7.2f ms  ratio %.3f\n", what, measured * 1e3,
                floor * 1e3, measured / floor);
}

} // namespace

int main() {
    char folder[] = "/tmp/q7bench.XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string file = std::string(folder) + "/backup.prm";
    std::vector<double> starts, ends;
    for (int i = 0; i < kRuns; ++i) {
        const Run run = backupOnce(file);
        if (run.end < 0) {
            std::fprintf(stderr, "q7 backup did not end with status 0\n");
            return 1;
        }
        starts.push_back(run.firstRequest);
        ends.push_back(run.end);
    }
    std::remove(file.c_str());
    rmdir(folder);

    sim::SimOptions options;
    const double wire = (8 + 7) * 11.0 / kBaud;
    const double bulkFloor = 0.02 + kRegisters * (0.03 + wire + options.latency);
    const double start = median(starts);
    report("headless start to request", start, kStartBudget);
    report("q7 backup (median)", median(ends), 1.1 * bulkFloor + start);
    return 0;
}
