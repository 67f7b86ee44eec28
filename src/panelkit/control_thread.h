#pragma once
// The control thread and its queue. Everything the logic does runs there,
// one event at a time, in the order the events arrived. The app makes one and
// hands it to the panel service (startPanelService), which posts the
// operator's events to it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

class ControlThread {
  public:
    ControlThread() = default;
    // Stops the thread if it still runs.
    ~ControlThread();
    ControlThread(const ControlThread&) = delete;
    ControlThread& operator=(const ControlThread&) = delete;

    // Starts the thread. Call on the GUI thread after the QApplication exists.
    void start();
    // Stops the thread after the event it is running; events still queued are
    // dropped. Keeps the GUI loop turning meanwhile, so a callback waiting on
    // a widget call can finish. Call on the GUI thread.
    void stop();
    bool running() const;

    void post(std::function<void()> task);
    // A timer tick is keyed by its timer; while one tick of a timer waits,
    // more ticks of it are dropped so a slow callback cannot build a backlog.
    // Returns false when the tick was dropped.
    bool postTick(const void* timerKey, std::function<void()> task);
    // The last event of the run: drops every queued event, runs next (after
    // the one running now) and closes the queue, so nothing else runs after it.
    void postFinal(std::function<void()> task);
    bool finalDone() const { return finalDone_; }
    // Opens the queue again after a final task (tests).
    void reopen();

    // Nothing queued and nothing running.
    bool idle() const;
    // How many events were queued since the start: a wait for idle sees by
    // it whether what it served on the GUI thread asked for more.
    std::uint64_t queuedCount() const { return queued_; }
    // True on this control thread.
    bool isCurrent() const { return id_.load() == std::this_thread::get_id(); }

  private:
    struct Item {
        std::function<void()> run;
        const void* tickKey = nullptr;
    };
    void loop();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Item> queue_;
    std::set<const void*> waitingTicks_;
    bool busy_ = false;
    bool stopping_ = false;
    bool closed_ = false; // a final task was queued: nothing more is taken
    std::atomic<bool> finalDone_{false};
    std::atomic<std::uint64_t> queued_{0};
    std::thread worker_;
    std::atomic<bool> finished_{false};
    std::atomic<std::thread::id> id_{};
};

// The control thread the panel service posts to: the one handed to
// startPanelService, until stopPanelService. Null meanwhile.
ControlThread* servedControlThread();
