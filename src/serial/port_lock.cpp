#include "serial/port_lock.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

constexpr const char* kLockFolder = "/run/lock";

std::mutex gMutex;

long lockOwner(const std::string& path);

// Lock files held, with how many open ports of ours each covers (a device
// that went away and came back may briefly have two), removed at exit too:
// a command that ends through exit() leaves no lock behind.
struct HeldFiles {
    std::map<std::string, int> users;
    void removeAll() {
        for (const auto& [path, n] : users)
            if (lockOwner(path) == long(::getpid())) ::unlink(path.c_str());
        users.clear();
    }
    ~HeldFiles() { removeAll(); }
};
HeldFiles& held() {
    static HeldFiles files;
    return files;
}

// "/dev/pts/5" -> "LCK..pts_5", after following links, so every name of a
// device (by-id links included) meets on one lock.
std::string lockName(const std::string& device) {
    char real[PATH_MAX];
    std::string path = ::realpath(device.c_str(), real) ? real : device;
    if (path.rfind("/dev/", 0) == 0) path.erase(0, 5);
    while (!path.empty() && path.front() == '/')
        path.erase(0, 1);
    for (char& c : path)
        if (c == '/') c = '_';
    return "LCK.." + path;
}

// The process a lock file names; 0 when it names none.
long lockOwner(const std::string& path) {
    std::ifstream in(path);
    long pid = 0;
    if (!(in >> pid) || pid <= 0) return 0;
    return pid;
}

bool alive(long pid) {
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

std::string processName(long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name.empty() ? std::string() : " (" + name + ")";
}

std::string inUse(const std::string& device, long pid, const std::string& how) {
    return device + ": in use by process " + std::to_string(pid) + processName(pid) + ", " + how;
}

// The process /proc/locks names for a flock on the file behind fd.
long flockHolder(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return 0;
    char key[64];
    std::snprintf(key, sizeof key, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long>(st.st_ino));
    std::ifstream in("/proc/locks");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, id;
        long pid = 0;
        if (!(fields >> number >> kind)) continue;
        if (kind == "->") fields >> kind; // a waiter's line
        if (kind == "FLOCK" && fields >> mode >> access >> pid >> id && id == key) return pid;
    }
    return 0;
}

// Writes our PID as text (ten columns and a line feed) beside the lock and
// links it in: the link either makes the whole lock or fails, so nobody
// ever reads a half-written one.
int createLock(const std::string& dir, const std::string& path) {
    std::string tmp = dir + "/LTMP.XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return -errno;
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%10ld\n", long(::getpid()));
    const bool written = ::fchmod(fd, 0644) == 0 && ::write(fd, text, size_t(n)) == n;
    const int err = written ? 0 : errno;
    ::close(fd);
    const int rc = !written ? -err : ::link(tmp.c_str(), path.c_str()) == 0 ? 0 : -errno;
    ::unlink(tmp.c_str());
    return rc;
}

} // namespace

int PortLock::takeFile(const std::string& device, std::string* why) {
    release();
    const std::string dir = kLockFolder;
    struct stat st {};
    // A system without the folder has no such locks to honour.
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
    const std::string path = dir + "/" + lockName(device);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int rc = createLock(dir, path);
        // A folder closed to us (not root, no group right) leaves the
        // device's own lock to keep other programs out.
        if (rc != 0 && rc != -EEXIST) return 0;
        const long owner = rc == 0 ? long(::getpid()) : lockOwner(path);
        if (owner == long(::getpid())) {
            file_ = path;
            std::lock_guard lock(gMutex);
            ++held().users[path];
            return 0;
        }
        if (owner > 0 && alive(owner)) {
            if (why) *why = inUse(device, owner, "lock file " + path);
            return -EBUSY;
        }
        // Left by a process that is gone (a crash, a power cut).
        ::unlink(path.c_str());
    }
    return 0;
}

int PortLock::takeDevice(int fd, const std::string& device, std::string* why) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
    // Some drivers and file systems take no locks; there is nothing to honour then.
    if (errno != EWOULDBLOCK) return 0;
    if (why) {
        const long pid = flockHolder(fd);
        *why = pid > 0 ? inUse(device, pid, "which holds a lock on it")
                       : device + ": in use by another program, which holds a lock on it";
    }
    return -EBUSY;
}

void PortLock::release() {
    if (file_.empty()) return;
    std::lock_guard lock(gMutex);
    const auto it = held().users.find(file_);
    if (it != held().users.end() && --it->second <= 0) {
        if (lockOwner(file_) == long(::getpid())) ::unlink(file_.c_str());
        held().users.erase(it);
    }
    file_.clear();
}

void releasePortLocks() {
    std::lock_guard lock(gMutex);
    held().removeAll();
}
