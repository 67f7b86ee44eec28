#include "app/options.h"

#include "base/id_list.h"
#include "serial/baud_rates.h"
#include "serial/com_map.h"
#include "serial/net_endpoint.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool parseComMapping(const std::string& arg, ProgramOptions& out) {
    const auto eq = arg.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 >= arg.size()) return false;
    char* end = nullptr;
    const long n = std::strtol(arg.c_str(), &end, 10);
    if (end != arg.c_str() + eq || n < 1 || n > kMaxComNumber) return false;
    const std::string device = arg.substr(eq + 1);
    if (isNetworkDevice(device) && !parseEndpoint(device)) return false;
    out.comDevices[int(n)] = device;
    return true;
}

std::string badComMapping(const std::string& arg) {
    std::string text = "bad --com " + arg + ": ";
    if (isNetworkDevice(arg.substr(arg.find('=') + 1)))
        return text + "a gateway is tcp://HOST:PORT or rtu+tcp://HOST:PORT, the port 1 to 65535";
    return text + "it takes N=DEVICE, N from 1 to " + std::to_string(kMaxComNumber);
}

// A whole decimal number from low to high, and nothing else.
std::optional<long> wholeIn(const std::string& text, long low, long high) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || n < low || n > high) return std::nullopt;
    return n;
}

// --port, --id, --baud, --trace and --alarms, with their value after a
// space or an equals sign. False when arg is none of them.
bool parseLineOption(const std::string& arg, int argc, char** argv, int& i, ProgramOptions& out) {
    static constexpr const char* kNames[] = {"--port", "--id", "--baud", "--trace", "--alarms"};
    std::string name, value;
    for (const char* n : kNames) {
        const std::string with = std::string(n) + "=";
        if (arg == n) {
            name = n;
            if (i + 1 >= argc) {
                out.error = name + " needs a value";
                return true;
            }
            value = argv[++i];
        } else if (arg.rfind(with, 0) == 0) {
            name = n;
            value = arg.substr(with.size());
        }
    }
    if (name.empty()) return false;
    HeadlessOptions& h = out.headless;
    if (name == "--port") {
        const auto n = wholeIn(value, 1, 255);
        if (!n) out.error = "--port takes a COM number from 1 to 255, not '" + value + "'";
        h.port = n ? std::optional<int>(int(*n)) : std::nullopt;
    } else if (name == "--id") {
        IdList list = parseIdList(value);
        if (!list.ok()) out.error = "--id takes controller ids, as in 1 or 1,3,5-7: " + list.error;
        h.ids = std::move(list.ids);
    } else if (name == "--baud") {
        const auto n = wholeIn(value, 1, 115200);
        if (!n || !standardBaud(*n))
            out.error = "--baud takes 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200, "
                        "not '" +
                        value + "'";
        h.baud = n;
    } else if (name == "--alarms") {
        if (value.empty()) out.error = "--alarms needs a file";
        h.alarmsFile = value;
    } else {
        if (value.empty()) out.error = "--trace needs a file";
        h.traceFile = value;
    }
    return true;
}

} // namespace

const char* usageText() {
    return "Usage: q7 [--simulate[=@|D]] [--com N=DEVICE]... [--workdir[=DIR]] [--trace FILE]\n"
           "       q7 [--com N=DEVICE]... [--port N] [--id LIST] [--baud B] [--simulate[=@|D]]\n"
           "          [--trace FILE] [--alarms FILE] COMMAND ...\n"
           "       q7 --list-ports [--com N=DEVICE]...\n"
           "\n"
           "Operator and service program for Q7 single-loop temperature controllers: the\n"
           "Modbus RTU master of one controller or several, on a serial line or behind a\n"
           "Modbus TCP or RTU-over-TCP gateway. Without a command it opens the panels; with\n"
           "one it runs it without any display and ends: backups, settings, firing runs and\n"
           "their records, the calibration book, and 'q7 serve --config FILE', the bridge\n"
           "to an MQTT broker and the web view, whose users 'q7 users --file FILE\n"
           "add|remove|passwd|list' keeps. 'q7 help' lists the commands.\n"
           "\n"
           "  --simulate[=@|D]   run against the built-in simulated controller (model '@' by\n"
           "                     default); every COM number then reaches it\n"
           "  --com N=DEVICE     COM N is DEVICE, e.g. --com 3=/dev/ttyUSB0 or\n"
           "                     --com 3=/dev/serial/by-id/usb-... (repeatable). Without it,\n"
           "                     COM N is /dev/ttyS(N-1) where a built-in serial port answers,\n"
           "                     and USB serial adapters found take the lowest numbers left.\n"
           "                     DEVICE may be a gateway: tcp://HOST:PORT (Modbus TCP) or\n"
           "                     rtu+tcp://HOST:PORT (RTU frames over a raw TCP socket)\n"
           "  --port N           a command's COM number (default: DftCom.prm, else 1)\n"
           "  --id LIST          a command's controller ids, as in 1 or 1,3,5-7 (default:\n"
           "                     DftCom.prm, else 1); with several it runs on each\n"
           "  --baud B           a command's baud rate (default: DftCom.prm, else 19200)\n"
           "  --list-ports       print each COM number in use with its device, then end\n"
           "                     (needs no display; the same as 'q7 ports')\n"
           "  --workdir[=DIR]    keep DftCom.prm, XYscale.txt and the file dialogs in DIR\n"
           "                     (default ~/q7), made when missing\n"
           "  --trace FILE       append every frame on the line to FILE as CSV (time, TX/RX,\n"
           "                     bytes, verdict, meaning, attempt, round trip), line by line\n"
           "  --alarms FILE      the alarm rules of the panels, watch, run and alarms test\n"
           "                     (default: alarms.conf in the working folder, else the\n"
           "                     built-in rules)\n"
           "  --screenshots=DIR  after connecting, open every panel, save a picture of each\n"
           "                     (and of them all, as on one screen) in DIR, print their\n"
           "                     paths and end\n"
           "  --help             show this text\n"
           "\n"
           "DftCom.prm (port, baud rate, controller id, and a gateway's endpoint with its port)\n"
           "and XYscale.txt (chart scale) are read and written in the current working\n"
           "directory, or in the --workdir folder. Commands only read DftCom.prm.\n";
}

ProgramOptions parseOptions(int argc, char** argv) {
    ProgramOptions out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--simulate") {
            out.simulate = '@';
        } else if (arg.rfind("--simulate=", 0) == 0) {
            const std::string v = arg.substr(11);
            if (v != "@" && v != "D")
                out.error = "--simulate takes @ or D, not '" + v + "'";
            else
                out.simulate = v[0];
        } else if (arg == "--com" && i + 1 < argc) {
            if (!parseComMapping(argv[++i], out)) out.error = badComMapping(argv[i]);
        } else if (arg.rfind("--com=", 0) == 0) {
            if (!parseComMapping(arg.substr(6), out)) out.error = badComMapping(arg.substr(6));
        } else if (arg == "--list-ports") {
            out.listPorts = true;
        } else if (arg == "--workdir") {
            out.workDir = "~/q7";
        } else if (arg.rfind("--workdir=", 0) == 0) {
            out.workDir = arg.substr(10);
            if (out.workDir.empty()) out.error = "--workdir= needs a folder";
        } else if (arg.rfind("--screenshots=", 0) == 0) {
            out.screenshotDir = arg.substr(14);
        } else if (arg.rfind("-platform", 0) == 0 && i + 1 < argc) {
            ++i; // Qt's own option, handled by the application object
        } else if (parseLineOption(arg, argc, argv, i, out)) {
        } else if (!arg.empty() && arg[0] != '-') {
            // The command: it and every word after it are its own.
            out.headless.words.assign(argv + i, argv + argc);
            break;
        } else {
            out.error = "unknown option " + arg;
        }
        if (!out.error.empty()) break;
    }
    const HeadlessOptions& h = out.headless;
    // A trace follows the line of whichever program runs: the panels' or a command's.
    const bool lineOption = h.port || !h.ids.empty() || h.baud;
    if (out.error.empty() && lineOption && h.words.empty())
        out.error = "--port, --id and --baud go with a command ('q7 help' lists them)";
    out.headless.simulate = out.simulate;
    return out;
}
