#pragma once
// --trace FILE: every frame as a CSV line, appended and handed to the system
// line by line, so a program that is killed loses no line it has written.
// A file that already holds a trace is continued, never overwritten, and a
// full disk leaves no half line in it.
#include "traffic/traffic_row.h"

#include <mutex>
#include <string>
#include <vector>

class TraceWriter {
  public:
    TraceWriter() = default;
    ~TraceWriter();
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // False, with the system's reason in why, when the file cannot be written.
    bool open(const std::string& path, std::string* why);
    bool isOpen() const;
    void write(const std::vector<TrafficRow>& rows);
    void close();
    // Why the trace stopped before it was closed (a full disk); empty while it runs.
    std::string failure() const;

  private:
    mutable std::mutex mutex_;
    int fd_ = -1;
    std::string path_;
    std::string failure_;
};
