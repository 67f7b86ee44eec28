#include "cli/signal_stop.h"

#include "cli/exit_status.h"
#include "cli/report.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t gReceived = 0;
struct sigaction gOldInt;
struct sigaction gOldTerm;

// The same signal again is not waited on: it ends the program as it would
// have without us.
extern "C" void noteSignal(int signal) {
    if (gReceived == 0) gReceived = signal;
    std::signal(signal, SIG_DFL);
}

// A signal the shell told us to ignore stays ignored.
void catchUnlessIgnored(int signal, struct sigaction* old) {
    sigaction(signal, nullptr, old);
    if (old->sa_handler == SIG_IGN) return;
    struct sigaction sa {};
    sa.sa_handler = noteSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(signal, &sa, nullptr);
}

} // namespace

SignalStop::SignalStop() {
    gReceived = 0;
    catchUnlessIgnored(SIGINT, &gOldInt);
    catchUnlessIgnored(SIGTERM, &gOldTerm);
}

SignalStop::~SignalStop() {
    sigaction(SIGINT, &gOldInt, nullptr);
    sigaction(SIGTERM, &gOldTerm, nullptr);
}

int SignalStop::received() {
    return gReceived;
}

int stoppedBySignal(const std::string& where) {
    const int signal = SignalStop::received();
    return fail(exitstatus::signalBase + signal,
                std::string("stopped by ") + (signal == SIGTERM ? "SIGTERM " : "SIGINT ") + where);
}
