// The GUI loop, and SIGINT/SIGTERM turned into the immediate exit.
#include "panelkit/panel_runtime.h"
#include "panelkit/run_ending.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int gSignalPipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte down the pipe wakes the GUI thread.
void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}
} // namespace

int RunUserInterface() {
    return QApplication::exec();
}

int QuitUserInterface(int code) {
    // exit(), not quit(): quit() would first offer every window a close event,
    // and the panels turn those into exit callbacks.
    QMetaObject::invokeMethod(
        qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    return 0;
}

std::unique_ptr<QObject> startGuiRefresh(double seconds, std::function<void()> refresh) {
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), std::move(refresh));
    timer->start(int(seconds * 1000));
    return timer;
}

void setSignalQuitHandler(int panel, CtrlId control) {
    setQuitControl(panel, control);
    if (gSignalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char buf[16];
        while (::read(gSignalPipe[0], buf, sizeof buf) > 0) {
        }
        endRunAsOnSignal();
    });
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}
