#include "serial/comes_back.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool pseudoTerminal(const std::string& node) {
    return node.rfind("/dev/pts/", 0) == 0;
}

} // namespace

bool comesBackUnderItsName(const std::string& device) {
    return !pseudoTerminal(device);
}

DeviceName deviceNameNow(const std::string& device) {
    DeviceName name;
    struct stat st {};
    if (lstat(device.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        name.link = true;
        name.linkInode = st.st_ino;
        name.linkChanged = (long long)st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    }
    char resolved[PATH_MAX];
    if (realpath(device.c_str(), resolved) != nullptr) {
        name.node = resolved;
    } else if (name.link) {
        // A link whose node is gone still says where it leads.
        const ssize_t n = readlink(device.c_str(), resolved, sizeof resolved - 1);
        if (n > 0) {
            const std::filesystem::path target(std::string(resolved, std::size_t(n)));
            name.node =
                (target.is_absolute() ? target
                                      : std::filesystem::path(device).parent_path() / target)
                    .lexically_normal()
                    .string();
        }
    }
    return name;
}

bool mayBeTheSameLine(const DeviceName& was, const DeviceName& now) {
    if (!pseudoTerminal(was.node)) return true;
    if (!was.link || !now.link) return false;
    return now.linkInode != was.linkInode || now.linkChanged != was.linkChanged;
}

bool stillLeadsTo(const DeviceName& was, const DeviceName& now, bool sameName) {
    if (was.node != now.node) return false;
    if (!sameName || was.link != now.link) return true;
    return !was.link || (now.linkInode == was.linkInode && now.linkChanged == was.linkChanged);
}

std::string notOpenedAgainText(const std::string& device, const DeviceName& was) {
    const std::string what = device == was.node ? device : device + " (" + was.node + ")";
    return what + " was a pseudo-terminal, which never comes back: its number may now be " +
           (was.link ? "another program's; opened again once the link is made anew"
                     : "another program's, so it is not opened again");
}
