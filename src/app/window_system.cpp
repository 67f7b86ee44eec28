#include "app/window_system.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

std::mutex gMutex;
QtMessageHandler gPrevious = nullptr;
// What Qt said while it looked for a window system: shown after all when it
// found one, kept back when it found none (the one line below says it all).
std::vector<std::pair<QtMsgType, QString>> gHeld;

// "the panels cannot open the display :1", and the like.
std::string whatFailed() {
    const auto named = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v ? std::string(v) : std::string();
    };
    if (const std::string platform = named("QT_QPA_PLATFORM"); !platform.empty())
        return "the panels cannot open the window system '" + platform + "'";
    if (const std::string x = named("DISPLAY"); !x.empty())
        return "the panels cannot open the display " + x;
    if (const std::string wayland = named("WAYLAND_DISPLAY"); !wayland.empty())
        return "the panels cannot open the display " + wayland;
    return "the panels need a display, and DISPLAY is not set";
}

void holdMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtFatalMsg) {
        std::lock_guard lock(gMutex);
        gHeld.emplace_back(type, text);
        return;
    }
    const std::string line =
        "q7: " + whatFailed() + "; the commands run without one ('q7 help' lists them)\n";
    [[maybe_unused]] const ssize_t n = ::write(2, line.data(), line.size());
    std::_Exit(1);
}

} // namespace

std::unique_ptr<QApplication> openWindowSystem(int& argc, char** argv) {
    gPrevious = qInstallMessageHandler(holdMessages);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(gPrevious);
    std::vector<std::pair<QtMsgType, QString>> held;
    {
        std::lock_guard lock(gMutex);
        held.swap(gHeld);
    }
    for (const auto& [type, text] : held)
        qt_message_output(type, QMessageLogContext(), text);
    return app;
}
