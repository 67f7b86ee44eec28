#include "base/atomic_file.h"

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

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "no regular file";
}

// Something else in the system may need to read the file; the rename is
// only lasting once the folder that holds it is on the disk too.
int syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    // Some file systems cannot sync a folder; that loses nothing.
    const int err = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return err;
}

} // namespace

OutputTarget outputTarget(const std::string& path) {
    OutputTarget t;
    t.file = path;
    for (int hops = 0;; ++hops) {
        t.folder = folderOf(t.file);
        struct stat st {};
        if (::lstat(t.file.c_str(), &st) != 0) return t; // made new (or its folder says why)
        if (!S_ISLNK(st.st_mode)) {
            t.exists = true;
            t.st = st;
            break;
        }
        if (hops == 40) {
            t.refusal = path + ": " + std::strerror(ELOOP);
            return t;
        }
        std::string link(std::size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(t.file.c_str(), link.data(), link.size());
        if (n <= 0 || std::size_t(n) >= link.size()) {
            t.refusal = path + ": " + std::strerror(n < 0 ? errno : EINVAL);
            return t;
        }
        link.resize(std::size_t(n));
        t.file = link.front() == '/' ? link : folderOf(t.file) + "/" + link;
    }
    if (S_ISDIR(t.st.st_mode))
        t.refusal = (t.file == path ? path : path + " leads to " + t.file + ", which") +
                    " is a folder; name a file in it";
    else if (!S_ISREG(t.st.st_mode))
        t.refusal = (t.file == path ? path : path + " leads to " + t.file + ", which") + " is " +
                    kindOf(t.st.st_mode) + ", not a file; name a file";
    return t;
}

bool writeFileAtomically(const std::string& path, const std::string& content, std::string* why) {
    const OutputTarget target = outputTarget(path);
    if (!target.refusal.empty()) {
        if (why) *why = target.refusal;
        return false;
    }
    std::string tmp = target.file + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) return fail(why, path, errno);
    if (target.exists) {
        // Root saving an operator's file leaves it the operator's; anyone
        // else cannot give a file away, and the file is then theirs.
        [[maybe_unused]] const int owned = fchown(fd, target.st.st_uid, target.st.st_gid);
        fchmod(fd, target.st.st_mode & 07777);
    } else {
        // mkstemp makes the file private; a saved file should get the usual mode.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }

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
    if (::rename(tmp.c_str(), target.file.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return fail(why, path, err);
    }
    if (const int err = syncFolder(target.folder)) return fail(why, path, err);
    return true;
}

namespace {

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

bool readSmallFile(const std::string& path, std::string* content, std::size_t maxBytes,
                   std::string* why, mode_t* mode) {
    const auto refuse = [&](std::string reason) {
        if (why) *why = std::move(reason);
        return false;
    };
    const std::string tooLarge =
        "larger than " + (maxBytes % 1024 ? std::to_string(maxBytes) + " bytes"
                                          : std::to_string(maxBytes / 1024) + " KiB");
    // Looked at before it is opened: opening a FIFO alone waits for a writer.
    // Non-blocking, so a node swapped in between is opened without waiting,
    // and then refused by its own status.
    if (std::string kind = notARegularFile(path); !kind.empty()) return refuse(kind);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return refuse(std::strerror(errno));
    struct stat st {};
    std::string reason;
    if (::fstat(fd, &st) != 0)
        reason = std::strerror(errno);
    else if (reason = notRegular(st); reason.empty() && std::size_t(st.st_size) > maxBytes)
        reason = tooLarge;
    content->clear();
    char buf[4096];
    while (reason.empty()) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) reason = std::strerror(errno);
        if (n <= 0) break;
        content->append(buf, std::size_t(n));
        // The file may grow while it is read.
        if (content->size() > maxBytes) reason = tooLarge;
    }
    ::close(fd);
    if (mode) *mode = st.st_mode;
    if (!reason.empty()) return refuse(reason);
    return true;
}
