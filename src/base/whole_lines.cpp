#include "base/whole_lines.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

int appendWholeLines(int fd, std::string_view text) {
    struct stat st {};
    // Only a regular file can be cut back; a pipe or a device takes what it takes.
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const off_t start = regular ? ::lseek(fd, 0, SEEK_END) : -1;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        const int err = n < 0 ? errno : ENOSPC;
        if (done > 0 && start >= 0 && ::ftruncate(fd, start) != 0) return errno;
        return err;
    }
    return 0;
}

int endLastLine(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return 0;
    char last = 0;
    // A file open for writing only cannot be looked at; it is added to as it is.
    if (::pread(fd, &last, 1, st.st_size - 1) != 1) return 0;
    return last == '\n' ? 0 : appendWholeLines(fd, "\n");
}
