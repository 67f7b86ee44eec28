#include "app/work_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace {

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

} // namespace

std::string expandHome(const std::string& path) {
    if (path != "~" && path.rfind("~/", 0) != 0) return path;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + path.substr(1);
}

bool enterWorkDir(const std::string& path, std::string* why) {
    const std::string dir = expandHome(path);
    if (dir.empty()) {
        *why = path + ": the home folder is not known";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        *why = dir + ": " + ec.message();
        return false;
    }
    if (chdir(dir.c_str()) != 0) {
        *why = dir + ": " + std::strerror(errno);
        return false;
    }
    return true;
}
