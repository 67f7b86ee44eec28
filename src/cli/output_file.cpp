#include "cli/output_file.h"

#include "base/atomic_file.h"
#include "cli/exit_status.h"
#include "cli/report.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

std::string cannotWrite(const std::string& path) {
    const OutputTarget target = outputTarget(path);
    if (!target.refusal.empty()) return target.refusal;
    // The file is written beside itself first and then renamed: its folder
    // must take a new file.
    if (access(target.folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write " + path + ": its folder " + target.folder + ": " +
               std::strerror(errno);
    return {};
}

int saveFile(const std::string& path, const std::string& content) {
    std::string why;
    if (writeFileAtomically(path, content, &why)) return exitstatus::ok;
    return fail(exitstatus::usage, "cannot write " + path + ": " + why);
}
