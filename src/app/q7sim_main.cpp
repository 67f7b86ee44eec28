// q7sim: the simulated controller on its own, for running the program (or any
// other master) against a pseudo-terminal.
#include "sim/sim_controller.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

const char kUsage[] =
    "usage: q7sim [--variant=@|D] [--id=N] [--baud=N] [--latency=SECONDS] [--time-scale=X]\n"
    "\n"
    "Runs a simulated Q7 controller as a Modbus RTU slave on a pseudo-terminal,\n"
    "prints the device to open on stdout, and runs until interrupted.\n"
    "\n"
    "  --variant=@|D        model code reported in 0x1F00 (default @)\n"
    "  --id=N               slave address, 1..247 (default 1)\n"
    "  --baud=N             line rate the replies are paced at (default 19200)\n"
    "  --latency=SECONDS    delay before each reply (default 0.002)\n"
    "  --time-scale=X       speed-up of the process clock (default 1)\n"
    "  --help               show this text\n";

bool parseLong(std::string_view text, long& out) {
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    out = std::strtol(s.c_str(), &end, 10);
    return !s.empty() && *end == '\0' && errno == 0;
}

bool parseDouble(std::string_view text, double& out) {
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return !s.empty() && *end == '\0' && errno == 0;
}

// Fills options from the command line; prints the problem and returns false on a bad one.
bool parseArguments(int argc, char** argv, sim::SimOptions& options, bool& help) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        const std::string_view value = eq == arg.npos ? std::string_view{} : arg.substr(eq + 1);
        long number = 0;
        double real = 0;
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (name == "--variant" && (value == "@" || value == "D")) {
            options.variant = value[0];
        } else if (name == "--id" && parseLong(value, number) && number >= 1 && number <= 247) {
            options.slaveId = uint8_t(number);
        } else if (name == "--baud" && parseLong(value, number) && number > 0) {
            options.baudRate = number;
        } else if (name == "--latency" && parseDouble(value, real) && real >= 0) {
            options.latency = real;
        } else if (name == "--time-scale" && parseDouble(value, real) && real > 0) {
            options.timeScale = real;
        } else {
            std::fprintf(stderr, "q7sim: bad argument '%s'\n%s", argv[i], kUsage);
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    sim::SimOptions options;
    bool help = false;
    if (!parseArguments(argc, argv, options, help)) return 2;
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    // Block the stop signals before the worker thread exists so only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::SimController controller(options);
    if (!controller.start()) {
        std::fprintf(stderr, "q7sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", controller.devicePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    controller.stop();
    return 0;
}
