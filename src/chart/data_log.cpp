#include "chart/data_log.h"

#include "base/number_text.h"
#include "base/whole_lines.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string reason(int err) {
    return std::strerror(err);
}

} // namespace

std::string formatLogLine(int month, int day, int year, const std::string& time, float sv,
                          float pv) {
    // "%d/%d/%d, %s, %5.1f, %5.1f"
    return formatWhole(month) + "/" + formatWhole(day) + "/" + formatWhole(year) + ", " + time +
           ", " + formatFixed(double(sv), 1, 5) + ", " + formatFixed(double(pv), 1, 5);
}

DataLog::~DataLog() {
    close();
}

bool DataLog::open(const std::string& path, bool append, std::string* why) {
    std::lock_guard lock(mutex_);
    closeLocked();
    // Read too, to see whether the last line was finished; a file we may
    // only write to is added to as it is.
    std::FILE* file = std::fopen(path.c_str(), append ? "a+" : "w");
    if (!file && append && errno == EACCES) file = std::fopen(path.c_str(), "a");
    if (!file) {
        if (why) *why = reason(errno);
        return false;
    }
    file_ = file;
    path_ = path;
    on_ = true;
    const int err = append ? endLastLine(fileno(file)) : 0;
    if (err != 0 || (!append && !writeLocked(kLogHeader, why))) {
        if (err != 0 && why) *why = reason(err);
        closeLocked();
        return false;
    }
    return true;
}

bool DataLog::write(const std::string& line, std::string* why) {
    std::lock_guard lock(mutex_);
    return writeLocked(line, why);
}

void DataLog::close() {
    std::lock_guard lock(mutex_);
    closeLocked();
}

std::unique_lock<std::mutex> DataLog::closeForExit() {
    std::unique_lock lock(mutex_);
    // The sync puts the last lines on the disk before the process goes.
    if (file_) {
        std::fflush(file_);
        fdatasync(fileno(file_));
        std::fclose(file_);
        file_ = nullptr;
    }
    return lock;
}

bool DataLog::on() const {
    std::lock_guard lock(mutex_);
    return on_;
}

bool DataLog::fileOpen() const {
    std::lock_guard lock(mutex_);
    return file_ != nullptr;
}

std::string DataLog::path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

bool DataLog::writeLocked(const std::string& line, std::string* why) {
    if (!file_) {
        if (why) *why = "no log file is open";
        return false;
    }
    // Straight to the system, never through the stream's buffer: a line
    // that does not fit is taken back whole.
    const int fd = fileno(file_);
    if (const int err = appendWholeLines(fd, line + "\n")) {
        if (why) *why = reason(err);
        return false;
    }
    // Devices and pipes cannot be synced; that is no loss of data.
    if (fdatasync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        if (why) *why = reason(errno);
        return false;
    }
    // Writes to a deleted file succeed and vanish with it.
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 0) {
        if (why) *why = "the file was deleted while logging";
        return false;
    }
    return true;
}

void DataLog::closeLocked() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    on_ = false;
}
