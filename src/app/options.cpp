#include "app/options.h"

#include <cstdlib>
#include <cstring>

namespace {

bool parseComMapping(const std::string& arg, ProgramOptions& out) {
    const auto eq = arg.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 >= arg.size()) return false;
    char* end = nullptr;
    const long n = std::strtol(arg.c_str(), &end, 10);
    if (end != arg.c_str() + eq || n < 1 || n > 255) return false;
    out.comDevices[int(n)] = arg.substr(eq + 1);
    return true;
}

} // namespace

const char* usageText() {
    return "Usage: q7 [--simulate[=@|D]] [--com N=DEVICE]... [--workdir[=DIR]]\n"
           "       q7 --list-ports [--com N=DEVICE]...\n"
           "\n"
           "Operator and service program for one Q7 temperature controller on an RS-232 line\n"
           "(Modbus RTU master).\n"
           "\n"
           "  --simulate[=@|D]   run against the built-in simulated controller (model '@' by\n"
           "                     default); every COM number then reaches it\n"
           "  --com N=DEVICE     COM N is DEVICE, e.g. --com 3=/dev/ttyUSB0 or\n"
           "                     --com 3=/dev/serial/by-id/usb-... (repeatable). Without it,\n"
           "                     COM N is /dev/ttyS(N-1) where a built-in serial port answers,\n"
           "                     and USB serial adapters found take the lowest numbers left\n"
           "  --list-ports       print each COM number in use with its device, then end\n"
           "                     (needs no display)\n"
           "  --workdir[=DIR]    keep DftCom.prm, XYscale.txt and the file dialogs in DIR\n"
           "                     (default ~/q7), made when missing\n"
           "  --screenshots=DIR  after connecting, save pictures of the open panels in DIR,\n"
           "                     print their paths and end\n"
           "  --help             show this text\n"
           "\n"
           "DftCom.prm (port, baud rate, controller id) and XYscale.txt (chart scale) are read\n"
           "and written in the current working directory, or in the --workdir folder.\n";
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
            if (!parseComMapping(argv[++i], out)) out.error = std::string("bad --com ") + argv[i];
        } else if (arg.rfind("--com=", 0) == 0) {
            if (!parseComMapping(arg.substr(6), out)) out.error = "bad " + arg;
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
        } else {
            out.error = "unknown option " + arg;
        }
        if (!out.error.empty()) break;
    }
    return out;
}
