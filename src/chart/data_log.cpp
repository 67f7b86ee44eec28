#include "chart/data_log.h"

#include "base/number_text.h"
#include "base/whole_lines.h"
#include "chart/chart_state.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

DataLogState gLog;

namespace {

// Lines are written on the control thread; a signal may close the file from
// the GUI thread while the control thread is stuck. Every use of the file
// holds this lock, so a close never cuts a line in half.
std::mutex gLogMutex;

bool writeLocked(const std::string& line, std::string* why);
void closeLocked();

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

bool openDataLog(const std::string& path, bool append, std::string* why) {
    std::lock_guard lock(gLogMutex);
    closeLocked();
    // Read too, to see whether the last line was finished; a file we may
    // only write to is added to as it is.
    std::FILE* file = std::fopen(path.c_str(), append ? "a+" : "w");
    if (!file && append && errno == EACCES) file = std::fopen(path.c_str(), "a");
    if (!file) {
        if (why) *why = reason(errno);
        return false;
    }
    gLog.logFile = file;
    gLog.path = path;
    gLog.logOn = 1;
    const int err = append ? endLastLine(fileno(file)) : 0;
    if (err != 0 || (!append && !writeLocked(kLogHeader, why))) {
        if (err != 0 && why) *why = reason(err);
        closeLocked();
        return false;
    }
    return true;
}

bool writeLogLine(const std::string& line, std::string* why) {
    std::lock_guard lock(gLogMutex);
    return writeLocked(line, why);
}

void closeDataLog() {
    std::lock_guard lock(gLogMutex);
    closeLocked();
}

std::unique_lock<std::mutex> closeDataLogForExit() {
    std::unique_lock lock(gLogMutex);
    // The sync puts the last lines on the disk before the process goes.
    if (gLog.logFile) {
        std::fflush(gLog.logFile);
        fdatasync(fileno(gLog.logFile));
        std::fclose(gLog.logFile);
        gLog.logFile = nullptr;
    }
    return lock;
}

namespace {

bool writeLocked(const std::string& line, std::string* why) {
    std::FILE* file = gLog.logFile;
    if (!file) {
        if (why) *why = "no log file is open";
        return false;
    }
    // Straight to the system, never through the stream's buffer: a line
    // that does not fit is taken back whole.
    const int fd = fileno(file);
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

void closeLocked() {
    if (gLog.logFile) std::fclose(gLog.logFile);
    gLog.logFile = nullptr;
    gLog.logOn = 0;
}

} // namespace

void resetDataLogState() {
    closeDataLog();
    gLog = DataLogState{};
}
