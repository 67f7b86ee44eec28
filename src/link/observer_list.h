#pragma once
// Listeners to one kind of news from a line, each under a handle to remove it
// by. Any thread may add, remove and report.
#include <atomic>
#include <functional>
#include <map>
#include <mutex>

template <class... Args> class ObserverList {
  public:
    using Observer = std::function<void(Args...)>;

    int add(Observer observer) {
        std::lock_guard lock(mutex_);
        observers_[++lastHandle_] = std::move(observer);
        count_ = int(observers_.size());
        return lastHandle_;
    }
    void remove(int handle) {
        std::lock_guard lock(mutex_);
        observers_.erase(handle);
        count_ = int(observers_.size());
    }
    bool any() const { return count_.load(std::memory_order_relaxed) > 0; }
    // Calls every observer in the order they were added, on the calling thread.
    void report(Args... args) {
        if (!any()) return;
        std::map<int, Observer> current;
        {
            // Copied, so an observer may add or remove observers.
            std::lock_guard lock(mutex_);
            current = observers_;
        }
        for (const auto& [handle, observer] : current)
            observer(args...);
    }

  private:
    std::mutex mutex_;
    std::map<int, Observer> observers_;
    std::atomic<int> count_{0};
    int lastHandle_ = 0;
};
