#include "panelkit/control_thread.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_test_api.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>
#include <set>
#include <thread>

namespace {

struct Item {
    std::function<void()> run;
    const void* tickKey = nullptr;
};

std::mutex gMutex;
std::condition_variable gWake;
std::deque<Item> gQueue;
std::set<const void*> gWaitingTicks;
bool gBusy = false;
bool gStopping = false;
bool gClosed = false; // a final task was queued: nothing more is taken
std::atomic<bool> gFinalDone{false};
std::thread gWorker;
std::atomic<bool> gFinished{false};
std::atomic<std::thread::id> gControlId{};

void runOne(Item& item) {
    try {
        item.run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "q7: callback failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "q7: callback failed\n");
    }
}

void workerLoop() {
    gControlId = std::this_thread::get_id();
    for (;;) {
        Item item;
        {
            std::unique_lock lock(gMutex);
            gWake.wait(lock, [] { return gStopping || !gQueue.empty(); });
            if (gStopping) break;
            item = std::move(gQueue.front());
            gQueue.pop_front();
            // Once a tick has started, the next tick of that timer may queue again.
            if (item.tickKey) gWaitingTicks.erase(item.tickKey);
            gBusy = true;
        }
        runOne(item);
        bool idle;
        {
            std::lock_guard lock(gMutex);
            gBusy = false;
            idle = gQueue.empty();
        }
        // Wakes a GUI thread that waits for the control thread to go idle.
        if (idle && QCoreApplication::instance())
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    }
    gControlId = std::thread::id{};
    gFinished = true;
}

} // namespace

void enqueueControlTask(std::function<void()> task) {
    {
        std::lock_guard lock(gMutex);
        if (gClosed) return;
        gQueue.push_back({std::move(task), nullptr});
    }
    gWake.notify_one();
}

bool enqueueControlTick(const void* timerKey, std::function<void()> task) {
    {
        std::lock_guard lock(gMutex);
        if (gClosed || !gWaitingTicks.insert(timerKey).second) return false;
        gQueue.push_back({std::move(task), timerKey});
    }
    gWake.notify_one();
    return true;
}

void enqueueFinalControlTask(std::function<void()> task) {
    {
        std::lock_guard lock(gMutex);
        if (gClosed) return;
        gClosed = true;
        gQueue.clear();
        gWaitingTicks.clear();
        gQueue.push_back({[task = std::move(task)] {
                              task();
                              gFinalDone = true;
                          },
                          nullptr});
    }
    gWake.notify_one();
}

bool finalControlTaskDone() {
    return gFinalDone;
}

void reopenControlQueue() {
    std::lock_guard lock(gMutex);
    gClosed = false;
    gFinalDone = false;
}

bool controlQueueIdle() {
    std::lock_guard lock(gMutex);
    return gQueue.empty() && !gBusy;
}

bool isControlThread() {
    return gControlId.load() == std::this_thread::get_id();
}

void postTask(std::function<void()> task) {
    enqueueControlTask(std::move(task));
}

void startPanelService() {
    if (gWorker.joinable()) return;
    {
        std::lock_guard lock(gMutex);
        gStopping = false;
    }
    gFinished = false;
    gWorker = std::thread(workerLoop);
}

void stopPanelService() {
    if (!gWorker.joinable()) return;
    {
        std::lock_guard lock(gMutex);
        gStopping = true;
        gQueue.clear();
        gWaitingTicks.clear();
    }
    gWake.notify_all();
    // The running callback may be waiting for the GUI thread; keep serving it.
    while (!gFinished) {
        if (QCoreApplication::instance()) QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    gWorker.join();
}

bool panelServiceRunning() {
    return gWorker.joinable() && !gFinished;
}
