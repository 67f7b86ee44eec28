#include "traffic/trace_writer.h"

#include "traffic/csv_rows.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TraceWriter::~TraceWriter() {
    close();
}

bool TraceWriter::open(const std::string& path, std::string* why) {
    close();
    std::lock_guard lock(mutex_);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (why) *why = path + ": " + std::strerror(errno);
        return false;
    }
    fd_ = fd;
    path_ = path;
    struct stat st {};
    if (fstat(fd, &st) == 0 && st.st_size == 0 && !writeAll(csvHeader())) {
        if (why) *why = path + ": " + std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

bool TraceWriter::isOpen() const {
    std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

// No user-space buffer: once write() returns, the line is the system's and
// outlives this process, however it ends.
bool TraceWriter::writeAll(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

void TraceWriter::write(const std::vector<TrafficRow>& rows) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    for (const TrafficRow& row : rows) {
        if (writeAll(csvLine(row))) continue;
        // A full disk or a vanished folder: said once, and the line goes on
        // without the trace rather than stumbling at every frame.
        std::fprintf(stderr, "q7: the trace %s stopped: %s\n", path_.c_str(),
                     std::strerror(errno ? errno : EIO));
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

void TraceWriter::close() {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}
