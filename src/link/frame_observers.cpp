#include "link/frame_observers.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {
std::mutex observersMutex;
std::map<int, FrameObserver> observers;
std::atomic<int> observerCount{0};
int lastHandle = 0;
} // namespace

int addFrameObserver(FrameObserver observer) {
    std::lock_guard lock(observersMutex);
    observers[++lastHandle] = std::move(observer);
    observerCount = int(observers.size());
    return lastHandle;
}

void removeFrameObserver(int handle) {
    std::lock_guard lock(observersMutex);
    observers.erase(handle);
    observerCount = int(observers.size());
}

bool anyFrameObserver() {
    return observerCount.load(std::memory_order_relaxed) > 0;
}

void reportFrame(const FrameRecord& record) {
    std::map<int, FrameObserver> current;
    {
        // Copied, so an observer may add or remove observers.
        std::lock_guard lock(observersMutex);
        current = observers;
    }
    for (const auto& [handle, observer] : current)
        observer(record);
}
