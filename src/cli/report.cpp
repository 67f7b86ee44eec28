#include "cli/report.h"

#include "cli/exit_status.h"

#include <cstdio>
#include <unistd.h>

int fail(int status, const std::string& line) {
    std::fprintf(stderr, "q7: %s\n", line.c_str());
    return status;
}

int statusOf(const Outcome& outcome) {
    return outcome.silent() ? exitstatus::noController : exitstatus::notConfirmed;
}

std::string joinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : ", ") + name;
    return out;
}

int refuseDoubts(const std::string& file, const std::vector<std::string>& doubts, bool forced) {
    if (doubts.empty() || forced) return exitstatus::ok;
    std::string listed;
    for (const std::string& d : doubts)
        listed += (listed.empty() ? "" : "; ") + d;
    return fail(exitstatus::usage,
                file + ": " + listed +
                    "; nothing was sent (--force sends it as the file holds it)");
}

Progress::Progress(std::string what, int total)
    : what_(std::move(what)), total_(total), shown_(isatty(STDERR_FILENO) == 1) {
    draw();
}

Progress::~Progress() {
    // The line goes away, so what follows starts on a clean one.
    if (shown_) std::fputs("\r\033[K", stderr);
}

void Progress::step() {
    ++done_;
    draw();
}

void Progress::draw() const {
    if (!shown_) return;
    if (total_ > 0)
        std::fprintf(stderr, "\r\033[K%s %d/%d", what_.c_str(), done_, total_);
    else
        std::fprintf(stderr, "\r\033[K%s...", what_.c_str());
    std::fflush(stderr);
}
