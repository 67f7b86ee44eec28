#pragma once
// What reaches a thread of the bridge from elsewhere: the MQTT client's
// thread posts what the broker did and said, the plant hands each line what
// concerns it, a signal posts the stop. Posting never waits for the line;
// the line takes everything posted between two of its requests.
//
// Messages waiting are bounded. Past the bound a flood drops its own: the
// message dropped is one of the topic group (a topic without its last
// level, PREFIX/LINE/ID/set) that has the most waiting, so one
// controller's flood of settings never costs another's run command, nor
// its own. Each topic dropped on is counted, to be answered.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct BrokerEvent {
    enum class Kind { connected, disconnected, message, published };
    Kind kind = Kind::message;
    int code = 0; // connected: the broker's answer (0 accepted); disconnected: why
    std::string topic, payload;
    bool tooLong = false;  // the payload was over kMaxPayload and is not kept
    bool retained = false; // kept by the broker from before: not a command given now
    // A command from the web view: it is answered here too, with the
    // result JSON (on the line's thread), and by names who gave it.
    std::function<void(const std::string&)> reply = {};
    std::string by = {};
};

class Inbox {
  public:
    static constexpr std::size_t kMaxPayload = 256;
    static constexpr std::size_t kMaxMessages = 256;
    // Topics whose drops are kept to be answered; past them a drop is counted alone.
    static constexpr std::size_t kMaxDroppedTopics = 256;

    // Any thread. Past kMaxMessages waiting, a message of the biggest
    // flood is dropped and counted.
    void post(BrokerEvent event);
    // Any thread: messages of topic dropped before they reached this inbox.
    void noteDropped(const std::string& topic, std::size_t count);
    void stop();
    bool stopped() const;
    // Ends the wait in progress, or the next one, without an event: the
    // waiting thread has something else to look at (a reload, new ids).
    void wake();
    // What was posted, waiting until something is, the stop, or the deadline.
    std::vector<BrokerEvent> wait(std::chrono::steady_clock::time_point deadline);
    // What was posted, without waiting: a line takes it at every turn, and
    // a wait with a deadline gone by still costs the system calls of one.
    std::vector<BrokerEvent> take();
    // The same, for the last words after the stop: waits for events alone.
    std::vector<BrokerEvent> waitAfterStop(std::chrono::steady_clock::time_point deadline);
    // Messages dropped since the last call: how many in all, and how many
    // of each topic kept.
    struct Dropped {
        std::size_t count = 0;
        std::map<std::string, std::size_t> topics;
    };
    Dropped takeDropped();

  private:
    std::vector<BrokerEvent> takeLocked(); // with mutex_ held
    void dropLocked(const std::string& topic, std::size_t count);
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::vector<BrokerEvent> events_;
    std::size_t messages_ = 0;
    std::map<std::string, std::size_t> waiting_; // messages waiting per topic group
    Dropped dropped_;
    bool stopped_ = false;
    bool woken_ = false;
};
