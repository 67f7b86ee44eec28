#include "link/frame_observers.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {

class Observers {
  public:
    int add(FrameObserver observer) {
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
    void report(const FrameRecord& record) {
        if (!any()) return;
        std::map<int, FrameObserver> current;
        {
            // Copied, so an observer may add or remove observers.
            std::lock_guard lock(mutex_);
            current = observers_;
        }
        for (const auto& [handle, observer] : current)
            observer(record);
    }

  private:
    std::mutex mutex_;
    std::map<int, FrameObserver> observers_;
    std::atomic<int> count_{0};
    int lastHandle_ = 0;
};

Observers exchanges, sends;

} // namespace

int addFrameObserver(FrameObserver observer) {
    return exchanges.add(std::move(observer));
}

void removeFrameObserver(int handle) {
    exchanges.remove(handle);
}

bool anyFrameObserver() {
    return exchanges.any() || sends.any();
}

void reportFrame(const FrameRecord& record) {
    exchanges.report(record);
}

int addSendObserver(FrameObserver observer) {
    return sends.add(std::move(observer));
}

void removeSendObserver(int handle) {
    sends.remove(handle);
}

void reportSend(const FrameRecord& record) {
    sends.report(record);
}
