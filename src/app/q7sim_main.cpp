// q7sim: the simulated controllers on their own, for running the program (or
// any other master) against a pseudo-terminal or a loopback TCP port.
#include "base/id_list.h"
#include "sim/sim_controller.h"
#include "sim/sim_port.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

const char kUsage[] =
    "usage: q7sim [--variant=@|D] [--id=N | --ids=LIST] [--baud=N] [--latency=SECONDS]\n"
    "             [--time-scale=X] [--listen=HOST:PORT [--rtu]]\n"
    "\n"
    "Runs simulated Q7 controllers as Modbus RTU slaves on a pseudo-terminal,\n"
    "prints the device to open on stdout, and runs until interrupted.\n"
    "\n"
    "  --variant=@|D        model code reported in 0x1F00 (default @)\n"
    "  --id=N               slave address, 1..247 (default 1)\n"
    "  --ids=LIST           several controllers on the one line, each with its own\n"
    "                       process, e.g. 1,2,7 or 1-8; other ids get no reply\n"
    "  --baud=N             line rate the replies are paced at (default 19200)\n"
    "  --latency=SECONDS    delay before each reply (default 0.002)\n"
    "  --time-scale=X       speed-up of the process clock (default 1)\n"
    "  --listen=HOST:PORT   serve Modbus TCP on a loopback address instead, one\n"
    "                       connection per master; port 0 picks a free port; prints\n"
    "                       tcp://HOST:PORT\n"
    "  --rtu                with --listen: RTU frames over the raw TCP socket\n"
    "                       instead; prints rtu+tcp://HOST:PORT\n"
    "  --help               show this text\n"
    "\n"
    "A value may follow its option after '=' or as the next argument.\n";

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

bool parseId(std::string_view text, long& id) {
    return parseLong(text, id) && id >= 1 && id <= 247;
}

// "1,2,7" or "1-8,12": ids 1..247, each once.
bool parseIds(std::string_view text, std::vector<uint8_t>& ids) {
    const IdList list = parseIdList(text);
    ids.assign(list.ids.begin(), list.ids.end());
    return list.ok();
}

// HOST:PORT with a loopback HOST; PORT 0 lets the system choose.
bool parseListen(std::string_view text, sim::Listen& listen) {
    const auto colon = text.rfind(':');
    long port = 0;
    in_addr address{};
    if (colon == text.npos || !parseLong(text.substr(colon + 1), port) || port < 0 || port > 65535)
        return false;
    listen.host = std::string(text.substr(0, colon));
    listen.port = uint16_t(port);
    return sim::loopbackAddress(listen.host, address);
}

struct Arguments {
    sim::SimOptions options;
    bool help = false;
    bool rtu = false;
    bool singleId = false;
};

bool takesValue(std::string_view name) {
    for (const char* n :
         {"--variant", "--id", "--ids", "--baud", "--latency", "--time-scale", "--listen"})
        if (name == n) return true;
    return false;
}

// Fills the arguments from the command line; prints the problem and returns false on a bad one.
bool parseArguments(int argc, char** argv, Arguments& a) {
    sim::SimOptions& options = a.options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        std::string_view value = eq == arg.npos ? std::string_view{} : arg.substr(eq + 1);
        if (eq == arg.npos && takesValue(name) && i + 1 < argc) value = argv[++i];
        long number = 0;
        double real = 0;
        bool good = true;
        if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else if (arg == "--rtu") {
            a.rtu = true;
        } else if (name == "--variant" && (value == "@" || value == "D")) {
            options.variant = value[0];
        } else if (name == "--id" && options.ids.empty() && parseId(value, number)) {
            options.slaveId = uint8_t(number);
            a.singleId = true;
        } else if (name == "--ids" && !a.singleId && parseIds(value, options.ids)) {
        } else if (name == "--baud" && parseLong(value, number) && number > 0) {
            options.baudRate = number;
        } else if (name == "--latency" && parseDouble(value, real) && real >= 0) {
            options.latency = real;
        } else if (name == "--time-scale" && parseDouble(value, real) && real > 0) {
            options.timeScale = real;
        } else if (name == "--listen" && parseListen(value, options.listen.emplace())) {
        } else {
            good = false;
        }
        if (!good) {
            std::fprintf(stderr, "q7sim: bad argument '%s'\n%s", argv[i], kUsage);
            return false;
        }
    }
    if (a.rtu && !options.listen) {
        std::fprintf(stderr, "q7sim: --rtu goes with --listen\n%s", kUsage);
        return false;
    }
    if (options.listen) options.listen->rtu = a.rtu;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!parseArguments(argc, argv, arguments)) return 2;
    if (arguments.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    // Block the stop signals before the worker thread exists so only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const auto& listen = arguments.options.listen;
    sim::SimController controller(arguments.options);
    if (!controller.start()) {
        if (listen)
            std::fprintf(stderr, "q7sim: cannot listen on %s:%u: %s\n", listen->host.c_str(),
                         unsigned(listen->port), std::strerror(errno));
        else
            std::fprintf(stderr, "q7sim: cannot open a pseudo-terminal: %s\n",
                         std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", controller.devicePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    controller.stop();
    return 0;
}
