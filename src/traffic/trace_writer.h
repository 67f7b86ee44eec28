#pragma once
// --trace FILE: every frame as a CSV line, appended and handed to the system
// line by line, so a program that is killed loses no line it has written.
// A file that already holds a trace is continued, never overwritten.
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

  private:
    bool writeAll(const std::string& text);

    mutable std::mutex mutex_;
    int fd_ = -1;
    std::string path_;
};
