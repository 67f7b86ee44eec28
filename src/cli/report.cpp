#include "cli/report.h"

#include "cli/exit_status.h"

#include <cstdio>
#include <unistd.h>

namespace {

// The controller the failures are about; 0: the command runs on one. Each
// thread's own: lines polled on threads of their own name their own ids.
thread_local int gFailingId = 0;
// Whether a progress line stands on the terminal now.
bool gProgressShown = false;

} // namespace

int fail(int status, const std::string& line) {
    Progress::erase();
    if (gFailingId != 0)
        std::fprintf(stderr, "q7: id %d: %s\n", gFailingId, line.c_str());
    else
        std::fprintf(stderr, "q7: %s\n", line.c_str());
    return status;
}

FailuresOfId::FailuresOfId(int id) {
    gFailingId = id;
}

FailuresOfId::~FailuresOfId() {
    gFailingId = 0;
}

std::string withPrefix(const std::string& prefix, const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        out += prefix + text.substr(at, next - at);
        at = next;
    }
    return out;
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
    erase();
}

void Progress::step() {
    ++done_;
    draw();
}

void Progress::show(int done, int total) {
    done_ = done;
    total_ = total;
    draw();
}

void Progress::print(const std::string& line) {
    erase();
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
    draw();
}

void Progress::erase() {
    if (!gProgressShown) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    gProgressShown = false;
}

void Progress::draw() const {
    if (!shown_) return;
    if (total_ > 0)
        std::fprintf(stderr, "\r\033[K%s %d/%d", what_.c_str(), done_, total_);
    else
        std::fprintf(stderr, "\r\033[K%s...", what_.c_str());
    std::fflush(stderr);
    gProgressShown = true;
}
