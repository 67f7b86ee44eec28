#include "chart/data_log.h"

#include "chart/chart_state.h"
#include "runtime/number_text.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

DataLogState gLog;

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

bool openDataLog(const std::string& path, bool append, std::string* why) {
    closeDataLog();
    std::FILE* file = std::fopen(path.c_str(), append ? "a" : "w");
    if (!file) {
        if (why) *why = reason(errno);
        return false;
    }
    gLog.logFile = file;
    gLog.path = path;
    gLog.logOn = 1;
    if (!append && !writeLogLine(kLogHeader, why)) {
        closeDataLog();
        return false;
    }
    return true;
}

bool writeLogLine(const std::string& line, std::string* why) {
    std::FILE* file = gLog.logFile;
    if (!file) {
        if (why) *why = "no log file is open";
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size() &&
                         std::fputc('\n', file) != EOF && std::fflush(file) == 0;
    if (!written) {
        if (why) *why = reason(errno ? errno : EIO);
        return false;
    }
    const int fd = fileno(file);
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

void closeDataLog() {
    if (gLog.logFile) std::fclose(gLog.logFile);
    gLog.logFile = nullptr;
    gLog.logOn = 0;
}

void resetDataLogState() {
    closeDataLog();
    gLog = DataLogState{};
}
