#include "serve/point_queue.h"

#include <algorithm>
#include <utility>

void PointQueue::add(std::string point) {
    std::lock_guard lock(mutex_);
    points_.push_back(std::move(point));
    trim();
}

// The batch on its way counts: a database that never answers holds no
// more than the bound, however its replies come.
void PointQueue::trim() {
    while (!points_.empty() && points_.size() + taken_.size() > bound_) {
        points_.pop_front();
        ++dropped_;
    }
}

std::vector<std::string> PointQueue::take(std::size_t count, std::size_t bytes) {
    std::lock_guard lock(mutex_);
    if (!taken_.empty()) return {};
    std::size_t size = 0;
    while (!points_.empty() && taken_.size() < count &&
           (taken_.empty() || size + points_.front().size() + 1 <= bytes)) {
        size += points_.front().size() + 1;
        taken_.push_back(std::move(points_.front()));
        points_.pop_front();
    }
    return taken_;
}

void PointQueue::done(bool gone) {
    std::lock_guard lock(mutex_);
    if (!gone) {
        points_.insert(points_.begin(), std::make_move_iterator(taken_.begin()),
                       std::make_move_iterator(taken_.end()));
    }
    taken_.clear();
    trim();
}

std::size_t PointQueue::waiting() const {
    std::lock_guard lock(mutex_);
    return points_.size() + taken_.size();
}

std::size_t PointQueue::takeDropped() {
    std::lock_guard lock(mutex_);
    return std::exchange(dropped_, 0);
}
