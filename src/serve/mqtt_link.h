#pragma once
// The bridge's connection to its broker, over libmosquitto. A network
// thread of its own keeps the connection, reconnecting with a backoff of
// 1 s up to 30 s whatever went wrong, and only posts to the inbox;
// everything else runs on the line thread. QoS 1 messages go out while the
// broker has room and wait in a bounded outbox otherwise.
#include "serve/inbox.h"
#include "serve/outbox.h"
#include "serve/serve_config.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;

// The client id when the config names none: q7-HOST-LINE, so that the
// bridges of two lines on one machine do not throw each other off the broker.
std::string defaultClientId(const std::string& line);

class MqttLink {
  public:
    using Log = std::function<void(const std::string&)>;
    // The bridge's availability topic gets "online" on every connection, and
    // "offline" from the broker as the last will when the bridge vanishes.
    MqttLink(const BrokerConfig& config, std::string availabilityTopic, Inbox& inbox, Log log);
    ~MqttLink();
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    // Sets the client up and starts connecting; a broker that is not there
    // yet is tried again and again. False, with why, when the client cannot
    // be set up at all.
    bool start(std::string* why);

    // The line thread's share of the events the client posted; true for a
    // connection the broker accepted just now.
    bool handle(const BrokerEvent& event);
    // Subscribed now and on every later connection.
    void subscribe(const std::string& pattern);
    void publish(std::string topic, std::string payload, bool retain);
    // Hands waiting messages to the client while the broker has room.
    void flush();

    // Waits (up to about two seconds) for what waits to reach the broker,
    // then disconnects and ends the client's thread.
    void finish();

  private:
    // The client's callbacks, on the network thread; `link` is this.
    static void onConnect(mosquitto*, void* link, int rc);
    static void onDisconnect(mosquitto*, void* link, int rc);
    static void onPublish(mosquitto*, void* link, int mid);
    static void onMessage(mosquitto*, void* link, const struct mosquitto_message* m);
    void keepConnected(); // the network thread
    void tellDropped();
    bool pause(int seconds);

    BrokerConfig config_;
    std::string availabilityTopic_;
    Inbox& inbox_;
    Log log_;
    mosquitto* client_ = nullptr;
    bool connected_ = false;
    bool everConnected_ = false;
    int inFlight_ = 0;
    Outbox outbox_;
    std::vector<std::string> subscriptions_;
    std::thread network_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> accepted_{false}; // the broker took the last connection
    std::mutex pauseMutex_;
    std::condition_variable pauseEnds_;
    std::string unreachable_; // why the broker was not reached, as last told
};
