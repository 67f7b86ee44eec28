#pragma once
// The points waiting for the database, bounded: the line threads add, the
// writer takes a batch to send and then says whether it went. While the
// database is away the queue holds the newest points; beyond its bound the
// oldest go, and are counted. Every call is safe from any thread, and none
// waits for the database.
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class PointQueue {
  public:
    explicit PointQueue(std::size_t bound) : bound_(bound) {}

    void add(std::string point);
    // Up to count points, oldest first, at most bytes long in all (one
    // point at least); they count as waiting until done() is told.
    std::vector<std::string> take(std::size_t count, std::size_t bytes);
    // The batch taken last: sent, or dropped as refused (gone), or back to
    // the front of the queue, to be sent again.
    void done(bool gone);
    std::size_t waiting() const;
    std::size_t bound() const { return bound_; }
    // Points dropped for the bound since last asked.
    std::size_t takeDropped();

  private:
    void trim();

    const std::size_t bound_;
    mutable std::mutex mutex_;
    std::deque<std::string> points_;
    std::vector<std::string> taken_; // on their way
    std::size_t dropped_ = 0;
};
