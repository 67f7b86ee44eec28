#include "runtime/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool fail(std::string* why, const std::string& what, int err) {
    if (why) *why = what + ": " + std::strerror(err);
    return false;
}

} // namespace

bool writeFileAtomically(const std::string& path, const std::string& content, std::string* why) {
    std::string tmp = path + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) return fail(why, path, errno);
    // mkstemp makes the file private; a saved file should get the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);

    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(tmp.c_str());
            return fail(why, path, err);
        }
        done += std::size_t(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return fail(why, path, err);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return fail(why, path, err);
    }
    return true;
}

namespace {

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "no regular file";
}

std::string notRegular(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return {};
    return std::string("it is ") + kindOf(st.st_mode) + ", not a regular file";
}

} // namespace

std::string notARegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return notRegular(st);
}

bool readSmallFile(const std::string& path, std::string* content, std::size_t maxBytes) {
    // Looked at before it is opened: opening a FIFO alone waits for a writer.
    // Non-blocking, so a node swapped in between is opened without waiting,
    // and then refused by its own status.
    if (!notARegularFile(path).empty()) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !notRegular(st).empty()) {
        ::close(fd);
        return false;
    }
    content->clear();
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        content->append(buf, std::size_t(n));
        if (content->size() > maxBytes) {
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return true;
}
