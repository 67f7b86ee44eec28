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

bool readSmallFile(const std::string& path, std::string* content, std::size_t maxBytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    content->clear();
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        content->append(buf, n);
        if (content->size() > maxBytes) {
            std::fclose(f);
            return false;
        }
    }
    std::fclose(f);
    return true;
}
