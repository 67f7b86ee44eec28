#include "panelkit/control_thread.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_test_api.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <exception>

namespace {

// The panel service is procedural: a widget's event, a test's post and a
// popup's check of its thread name no object, so they reach the control
// thread the app handed in through this one pointer.
std::atomic<ControlThread*> gServed{nullptr};

void runOne(const std::function<void()>& run) {
    try {
        run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "q7: callback failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "q7: callback failed\n");
    }
}

} // namespace

ControlThread::~ControlThread() {
    stop();
}

void ControlThread::loop() {
    id_ = std::this_thread::get_id();
    for (;;) {
        Item item;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) break;
            item = std::move(queue_.front());
            queue_.pop_front();
            // Once a tick has started, the next tick of that timer may queue again.
            if (item.tickKey) waitingTicks_.erase(item.tickKey);
            busy_ = true;
        }
        runOne(item.run);
        bool nowIdle;
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
            nowIdle = queue_.empty();
        }
        // Wakes a GUI thread that waits for the control thread to go idle.
        if (nowIdle && QCoreApplication::instance())
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    }
    id_ = std::thread::id{};
    finished_ = true;
}

void ControlThread::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        queue_.push_back({std::move(task), nullptr});
        ++queued_;
    }
    wake_.notify_one();
}

bool ControlThread::postTick(const void* timerKey, std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (closed_ || !waitingTicks_.insert(timerKey).second) return false;
        queue_.push_back({std::move(task), timerKey});
        ++queued_;
    }
    wake_.notify_one();
    return true;
}

void ControlThread::postFinal(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        closed_ = true;
        queue_.clear();
        waitingTicks_.clear();
        queue_.push_back({[this, task = std::move(task)] {
                              task();
                              finalDone_ = true;
                          },
                          nullptr});
        ++queued_;
    }
    wake_.notify_one();
}

void ControlThread::reopen() {
    std::lock_guard lock(mutex_);
    closed_ = false;
    finalDone_ = false;
}

bool ControlThread::idle() const {
    std::lock_guard lock(mutex_);
    return queue_.empty() && !busy_;
}

void ControlThread::start() {
    if (worker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    finished_ = false;
    worker_ = std::thread([this] { loop(); });
}

void ControlThread::stop() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
        waitingTicks_.clear();
    }
    wake_.notify_all();
    // The running callback may be waiting for the GUI thread; keep serving it.
    while (!finished_) {
        if (QCoreApplication::instance()) QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker_.join();
}

bool ControlThread::running() const {
    return worker_.joinable() && !finished_;
}

ControlThread* servedControlThread() {
    return gServed;
}

bool isControlThread() {
    const ControlThread* served = gServed;
    return served && served->isCurrent();
}

void postTask(std::function<void()> task) {
    if (ControlThread* served = gServed) served->post(std::move(task));
}

void startPanelService(ControlThread& thread) {
    gServed = &thread;
    thread.start();
}

void stopPanelService() {
    ControlThread* served = gServed;
    if (!served) return;
    served->stop();
    gServed = nullptr;
}

bool panelServiceRunning() {
    const ControlThread* served = gServed;
    return served && served->running();
}
