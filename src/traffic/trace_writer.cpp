#include "traffic/trace_writer.h"

#include "base/whole_lines.h"
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
    // Read too, to see whether the last line was finished; a file we may
    // only write to is added to as it is.
    constexpr int kFlags = O_CREAT | O_APPEND | O_CLOEXEC;
    int fd = ::open(path.c_str(), O_RDWR | kFlags, 0644);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags, 0644);
    if (fd < 0) {
        if (why) *why = path + ": " + std::strerror(errno);
        return false;
    }
    fd_ = fd;
    path_ = path;
    failure_.clear();
    struct stat st {};
    const bool fresh = fstat(fd, &st) == 0 && st.st_size == 0;
    if (const int err = fresh ? appendWholeLines(fd, csvHeader()) : endLastLine(fd)) {
        if (why) *why = path + ": " + std::strerror(err);
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
// outlives this process, however it ends. A line that does not fit is taken
// back whole.
void TraceWriter::write(const std::vector<TrafficRow>& rows) {
    std::lock_guard lock(mutex_);
    if (fd_ < 0) return;
    for (const TrafficRow& row : rows) {
        const int err = appendWholeLines(fd_, csvLine(row));
        if (err == 0) continue;
        // A full disk or a vanished folder: said once, and the line goes on
        // without the trace rather than stumbling at every frame.
        failure_ = std::strerror(err);
        std::fprintf(stderr, "q7: the trace %s stopped: %s\n", path_.c_str(), failure_.c_str());
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

std::string TraceWriter::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

void TraceWriter::close() {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}
