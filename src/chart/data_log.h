#pragma once
// The data log: one line per chart sample, in a file the operator chose.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

inline constexpr const char* kLogHeader = "  Date,       Time,     SV,    PV";

class DataLog {
  public:
    DataLog() = default;
    ~DataLog();
    DataLog(const DataLog&) = delete;
    DataLog& operator=(const DataLog&) = delete;

    // Opens path for logging: appended to (after finishing a last line cut
    // short, so no line joins onto it), or started afresh with the header
    // line. On failure logging stays off and *why holds the system's reason.
    bool open(const std::string& path, bool append, std::string* why);
    // Writes one line and its line feed and pushes it to the disk, so nothing
    // already logged is lost in a crash. False, with the reason, when the line
    // did not reach the file whole (it is then taken back: a full disk leaves
    // no half line) or the file is gone.
    bool write(const std::string& line, std::string* why);
    // Closes the log file when logging is on and turns logging off.
    void close();
    // Closes the log file from any thread, for a process about to end while
    // the control thread may still be writing: waits for a line being
    // written, and holds off any later one for as long as the returned lock
    // is held.
    std::unique_lock<std::mutex> closeForExit();

    // Logging was turned on and not off.
    bool on() const;
    // The file is open (logging may be on with the file closed for an exit).
    bool fileOpen() const;
    // The file being logged to, or the last one, for messages about it.
    std::string path() const;

  private:
    bool writeLocked(const std::string& line, std::string* why);
    void closeLocked();

    // Lines are written on the control thread; a signal may close the file
    // from the GUI thread while the control thread is stuck. Every use of
    // the file holds this lock, so a close never cuts a line in half.
    mutable std::mutex mutex_;
    bool on_ = false;
    std::FILE* file_ = nullptr;
    std::string path_;
};

// "month/day/year, time, SV, PV" with both values in at least five
// characters and one digit after the point, whatever the locale.
std::string formatLogLine(int month, int day, int year, const std::string& time, float sv,
                          float pv);
