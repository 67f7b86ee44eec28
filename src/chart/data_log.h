#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

// The open data log, if any.
struct DataLogState {
    uint16_t logOn = 0;
    std::FILE* logFile = nullptr;
    std::string path; // for messages about the open file
};
extern DataLogState gLog;

inline constexpr const char* kLogHeader = "  Date,       Time,     SV,    PV";

// Opens path for logging: appended to (after finishing a last line cut
// short, so no line joins onto it), or started afresh with the header line.
// On failure logging stays off and *why holds the system's reason.
bool openDataLog(const std::string& path, bool append, std::string* why);
// Writes one line and its line feed and pushes it to the disk, so nothing
// already logged is lost in a crash. False, with the reason, when the line
// did not reach the file whole (it is then taken back: a full disk leaves
// no half line) or the file is gone.
bool writeLogLine(const std::string& line, std::string* why);
// "month/day/year, time, SV, PV" with both values in at least five
// characters and one digit after the point, whatever the locale.
std::string formatLogLine(int month, int day, int year, const std::string& time, float sv,
                          float pv);

// Closes the log file when logging is on and turns logging off.
void closeDataLog();
// Closes the log file from any thread, for a process about to end while the
// control thread may still be writing: waits for a line being written, and
// holds off any later one for as long as the returned lock is held.
std::unique_lock<std::mutex> closeDataLogForExit();
// Resets the data log, the chart and the live values it plots (tests).
void resetDataLogState();
