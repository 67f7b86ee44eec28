#pragma once
// The traffic monitor's ear on the line: one frame observer that counts every
// exchange, writes the trace and keeps the newest rows for the panel. It runs
// on the thread that made the exchange and never waits for the GUI: rows
// wait here until the panel takes them, at most kKeptRows of them.
#include "traffic/line_statistics.h"
#include "traffic/trace_writer.h"
#include "traffic/traffic_row.h"

class Controller;

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Rows the panel holds, and the most that wait for it.
inline constexpr std::size_t kKeptRows = 10000;

class TrafficTap {
  public:
    TrafficTap() = default;
    ~TrafficTap() { uninstall(); }
    TrafficTap(const TrafficTap&) = delete;
    TrafficTap& operator=(const TrafficTap&) = delete;

    // Starts listening to the frames on the controller's line, and to its
    // connections (which reset the count); values read in its scale.
    void install(Controller& controller);
    void uninstall();
    bool installed() const { return frameHandle_ != 0; }
    bool listensTo(const Controller& c) const { return controller_ == &c; }
    // The scale the rows read values in: the controller's, once installed.
    Scale scale() const;

    LineStatistics& statistics() { return statistics_; }
    bool startTrace(const std::string& path, std::string* why);
    void stopTrace();
    // Why the trace stopped by itself (a full disk); empty while it runs.
    std::string traceFailure() const { return writer().failure(); }
    bool tracing() const { return writer().isOpen(); }
    // Traces into the owner's trace rather than one of its own, each row's
    // meaning led by the mark ("furnace: read 0x1000 PV"): one file holds
    // the frames of several lines, each telling its line. The owner
    // outlives this tap.
    void traceInto(TrafficTap& owner, std::string mark);

    // Keep rows for a panel; wake is called, on the exchanging thread, when
    // rows arrive with none waiting, so the panel schedules one pickup.
    void keepRows(std::function<void()> wake);
    void stopKeepingRows();
    // The waiting rows, oldest first; rows beyond kKeptRows were dropped oldest first.
    std::vector<TrafficRow> takeRows();

    void observeSend(const FrameRecord& record);
    void observe(const FrameRecord& record);

  private:
    // Traces the rows and hands them to the panel when one keeps them.
    void deliver(std::vector<TrafficRow> rows);
    // Hands the rows to the panel when one keeps them.
    void keep(std::vector<TrafficRow> rows);
    void trace(std::vector<TrafficRow> rows);
    TraceWriter& writer() { return owner_ ? owner_->trace_ : trace_; }
    const TraceWriter& writer() const { return owner_ ? owner_->trace_ : trace_; }

    Controller* controller_ = nullptr;
    LineStatistics statistics_;
    TraceWriter trace_;
    TrafficTap* owner_ = nullptr; // whose trace the rows go to, when not this one's
    std::string mark_;
    std::mutex rowsMutex_;
    bool keeping_ = false;
    std::function<void()> wake_;
    std::deque<TrafficRow> waiting_;
    int frameHandle_ = 0;
    int sendHandle_ = 0;
    int lineHandle_ = 0;
};

// Once a trace was started: its frames are those on this controller's line,
// from now on.
void traceLine(TrafficTap& tap, Controller& c);
// The controller goes away: the trace no longer listens to its line.
void untraceLine(TrafficTap& tap, Controller& c);
