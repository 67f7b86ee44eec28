#include "app/launch.h"

#include "app/work_dir.h"
#include "serial/com_map.h"
#include "serve/serve_command.h"
#include "serve/users_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// The panels' program, in the folder this one runs from (the build folder,
// or where the package installed both).
std::string panelsProgram() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "q7-panels";
    const std::string path(self, std::size_t(n));
    return path.substr(0, path.rfind('/') + 1) + "q7-panels";
}

} // namespace

std::optional<int> runWithoutPanels(const ProgramOptions& options) {
    if (options.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "q7: %s ('q7 --help' shows the options)\n", options.error.c_str());
        return 2;
    }
    for (const auto& [n, device] : options.comDevices)
        setComDevice(n, device);
    if (options.listPorts) return printPorts();
    if (options.headless.words.empty()) return std::nullopt;
    if (!options.workDir.empty()) {
        std::string why;
        if (!enterWorkDir(options.workDir, &why)) {
            std::fprintf(stderr, "q7: cannot use the folder %s\n", why.c_str());
            return 2;
        }
    }
    // The bridge runs the commands' transfers, so it stands above them.
    if (options.headless.words.front() == "serve") return runServe(options.headless);
    if (options.headless.words.front() == "users") return runUsers(options.headless);
    return runHeadless(options.headless);
}

int launch(int argc, char** argv) {
    const ProgramOptions options = parseOptions(argc, argv);
    // A run's PDF report is painted with Qt's painting and charts, which this
    // program does not link: the panels' program writes it, with no window.
    const auto& words = options.headless.words;
    const bool report = options.error.empty() && !options.help && words.size() >= 2 &&
                        words[0] == "runs" && words[1] == "report";
    if (!report)
        if (const auto status = runWithoutPanels(options)) return *status;
    const std::string panels = panelsProgram();
    execv(panels.c_str(), argv);
    std::fprintf(stderr, "q7: cannot start the panels (%s: %s)\n", panels.c_str(),
                 std::strerror(errno));
    return 1;
}
