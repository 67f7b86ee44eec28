#pragma once
// The bridge's InfluxDB output: every good poll, as a point of line
// protocol, written to an InfluxDB 1.x database in batches, at most one
// batch in flight and one every few seconds, by HTTP POST /write on a
// thread of its own. The line threads only add to a bounded queue, so a
// database that is slow, away or refusing never holds up a poll.
//
// What the database does is logged once per change: it writes, it cannot
// be written to (and why), it writes again. Points that cannot go wait,
// the oldest dropped beyond the queue's bound with a count; a batch the
// database refuses as bad points is dropped with its reason, never sent
// again and again.
//
// Qt's network classes need a QCoreApplication to exist: where none does
// (q7 serve has none), this makes one, so it must then be made on the main
// thread before any other thread uses Qt, and it keeps it until it goes.
#include "serve/point_queue.h"
#include "serve/serve_config.h"

#include <QThread>

#include <functional>
#include <memory>
#include <string>

class QCoreApplication;
class InfluxWriter;

// An hour of a busy plant's polls (55 controllers polled every second):
// some 30 MB of points at most.
inline constexpr std::size_t kInfluxQueueBound = 200000;

class InfluxOutput {
  public:
    using Log = std::function<void(const std::string&)>;
    // Takes points from now on; they go once it is started.
    InfluxOutput(const InfluxConfig& config, Log log, std::size_t bound = kInfluxQueueBound);
    ~InfluxOutput(); // finish()es first, when that was not done
    InfluxOutput(const InfluxOutput&) = delete;
    InfluxOutput& operator=(const InfluxOutput&) = delete;

    // Starts the output's thread: after the bridge blocked the signals it
    // takes on a thread of its own, so this one inherits them blocked.
    void start();
    // Any thread: one point, queued; an empty one is none.
    void add(std::string point);
    // The bridge stops: what waits is sent, for a few seconds at most, and
    // what the output did is logged.
    void finish();
    std::size_t waiting() const { return queue_.waiting(); }

  private:
    std::unique_ptr<QCoreApplication> app_;
    Log log_;
    PointQueue queue_;
    QThread thread_;
    InfluxWriter* writer_ = nullptr; // lives on thread_
    bool finished_ = false;
};
