#include "link/line_events.h"

#include <map>
#include <mutex>

namespace {
std::mutex observersMutex;
std::map<int, LineObserver> observers;
int lastHandle = 0;
} // namespace

int addLineObserver(LineObserver observer) {
    std::lock_guard lock(observersMutex);
    observers[++lastHandle] = std::move(observer);
    return lastHandle;
}

void removeLineObserver(int handle) {
    std::lock_guard lock(observersMutex);
    observers.erase(handle);
}

void reportLineEvent(LineEvent event, int comPort) {
    std::map<int, LineObserver> current;
    {
        // Copied, so an observer may add or remove observers.
        std::lock_guard lock(observersMutex);
        current = observers;
    }
    for (const auto& [handle, observer] : current)
        observer(event, comPort);
}
