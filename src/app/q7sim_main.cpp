// q7sim: the simulated controllers on their own, for running the program (or
// any other master) against a pseudo-terminal or a loopback TCP port.
#include "base/id_list.h"
#include "sim/sim_controller.h"
#include "sim/sim_port.h"

#include <algorithm>
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
    "             [--time-scale=X] [--kiln] [--slow=ID:FACTOR]...\n"
    "             [--listen=HOST:PORT [--rtu]]\n"
    "\n"
    "Runs simulated Q7 controllers as Modbus RTU slaves on a pseudo-terminal,\n"
    "prints the device to open on stdout, and runs until interrupted.\n"
    "\n"
    "  --variant=@|D        model code reported in 0x1F00 (default @); D ramps its SV\n"
    "                       at its ramp rate (0x000E) and shows the ramp in 0x1001\n"
    "  --id=N               slave address, 1..247 (default 1)\n"
    "  --ids=LIST           several controllers on the one line, each with its own\n"
    "                       process, e.g. 1,2,7 or 1-8; other ids get no reply\n"
    "  --baud=N             line rate the replies are paced at (default 19200)\n"
    "  --latency=SECONDS    delay before each reply (default 0.002)\n"
    "  --time-scale=X       speed-up of the process clock (default 1)\n"
    "  --kiln               each controller heats a kiln: a slow process that reaches\n"
    "                       some 1400 degrees above the room at full power, climbing\n"
    "                       about 900 degrees an hour when cold and far less when hot\n"
    "                       (default: a small quick process, 400 degrees at most)\n"
    "  --slow=ID:FACTOR     give id's heater only FACTOR (above 0, up to 1) of its\n"
    "                       power, so it lags the others, e.g. --slow=7:0.3\n"
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

// "7:0.3": an id, and the share of its heater's power it keeps. Each id once.
bool parseSlow(std::string_view text, std::vector<sim::Slowed>& slowed) {
    const auto colon = text.find(':');
    long id = 0;
    double share = 0;
    if (colon == text.npos || !parseId(text.substr(0, colon), id) ||
        !parseDouble(text.substr(colon + 1), share) || !(share > 0 && share <= 1))
        return false;
    for (const sim::Slowed& s : slowed)
        if (s.id == id) return false;
    slowed.push_back({uint8_t(id), share});
    return true;
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
    for (const char* n : {"--variant", "--id", "--ids", "--baud", "--latency", "--time-scale",
                          "--listen", "--slow"})
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
        } else if (arg == "--kiln") {
            options.kiln = true;
        } else if (name == "--slow" && parseSlow(value, options.slowed)) {
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
    const std::vector<uint8_t> served =
        options.ids.empty() ? std::vector<uint8_t>{options.slaveId} : options.ids;
    for (const sim::Slowed& s : options.slowed)
        if (std::find(served.begin(), served.end(), s.id) == served.end()) {
            std::fprintf(stderr, "q7sim: --slow names id %d, which is not on the line\n%s",
                         int(s.id), kUsage);
            return false;
        }
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
