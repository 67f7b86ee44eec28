#include "runs/run_driver.h"

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string bootId() {
    std::ifstream in("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(in, id);
    return id;
}

// The process's start time since boot, in clock ticks: the 22nd field of
// its stat line, counted after the name in parentheses (which may hold
// spaces or parentheses of its own). Empty when there is no such process.
std::string startTime(long long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return "";
    const auto close = line.rfind(')');
    if (close == std::string::npos) return "";
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        if (!(fields >> field)) return "";
    return field;
}

std::string tokenOf(long long pid) {
    const std::string boot = bootId(), start = startTime(pid);
    if (boot.empty() || start.empty()) return "";
    return boot + "/" + start;
}

} // namespace

RunDriver thisProcess() {
    const long long pid = getpid();
    return {pid, tokenOf(pid)};
}

bool stillRunning(const RunDriver& driver) {
    if (driver.pid <= 0 || driver.token.empty()) return false;
    return tokenOf(driver.pid) == driver.token;
}
