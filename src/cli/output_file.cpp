#include "cli/output_file.h"

#include "cli/exit_status.h"
#include "cli/report.h"
#include "runtime/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

std::string cannotWrite(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return path + " is a folder; name a file in it";
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    // The file is written beside itself first and then renamed: its folder
    // must take a new file.
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "cannot write " + path + ": its folder " + folder + ": " + std::strerror(errno);
    return {};
}

int saveFile(const std::string& path, const std::string& content) {
    std::string why;
    if (writeFileAtomically(path, content, &why)) return exitstatus::ok;
    return fail(exitstatus::usage, "cannot write " + path + ": " + why);
}
