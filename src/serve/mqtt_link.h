#pragma once
// The bridge's connection to its broker, over libmosquitto, in MQTT 5. A
// network thread of its own makes a fresh client for each connection and
// keeps it, reconnecting with a backoff of 1 s up to 30 s whatever went
// wrong, and only posts to the inbox; everything else runs on the line
// thread. QoS 1 messages go out while the broker has room and wait in a
// bounded outbox otherwise. A connection that ends has its client dropped
// with whatever the client still held: what was not acknowledged goes out
// again from here, a retained topic as its latest payload alone.
#include "serve/broker_link.h"
#include "serve/inbox.h"
#include "serve/outbox.h"
#include "serve/serve_config.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;

// The client id when the config names none: q7-HOST-LINE, LINE the config's
// first line, so that two bridges on one machine do not throw each other
// off the broker, and a bridge keeps the id it had when it served one line.
std::string defaultClientId(const std::string& line);

class MqttLink : public BrokerLink {
  public:
    using Log = std::function<void(const std::string&)>;
    // The bridge's availability topic gets "online" on every connection, and
    // "offline" from the broker as the last will when the bridge vanishes.
    MqttLink(const BrokerConfig& config, std::string availabilityTopic, Inbox& inbox, Log log);
    ~MqttLink() override;
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    // Checks that a client can be set up, then starts connecting; a broker
    // that is not there yet is tried again and again. False, with why, when
    // the client cannot be set up at all.
    bool start(std::string* why);

    bool handle(const BrokerEvent& event) override;
    void subscribe(const std::string& pattern) override;
    void unsubscribe(const std::string& pattern) override;
    void publish(std::string topic, std::string payload, bool retain) override;

    // Told, on the thread that handles the events, whether the broker is
    // connected and how many messages were dropped in all, as either changes.
    void onState(std::function<void(bool connected, std::uint64_t dropped)> told) {
        told_ = std::move(told);
    }

    // Waits (up to about two seconds) for what waits to reach the broker,
    // then disconnects and ends the client's thread.
    void finish();

  private:
    // The client's callbacks, on the network thread; `link` is this.
    static void onConnect(mosquitto*, void* link, int rc);
    static void onPublish(mosquitto*, void* link, int mid);
    static void onMessage(mosquitto*, void* link, const struct mosquitto_message* m);
    static void onLog(mosquitto*, void* link, int level, const char* text);
    mosquitto* makeClient(std::string* why);
    void keepConnected(); // the network thread
    // One connection from its start to its end; why it ended.
    std::string connectOnce(mosquitto* client, bool* accepted);
    void flush();
    void tellDropped();
    void tellState();
    std::function<void(bool, std::uint64_t)> told_;
    std::uint64_t droppedTotal_ = 0;
    bool pause(int seconds);

    BrokerConfig config_;
    std::string availabilityTopic_;
    Inbox& inbox_;
    Log log_;

    // Shared by the two threads: the client of the connection now, and
    // whether the broker accepted it. The line thread publishes only into
    // an accepted connection, so no client ever holds a message of ours
    // from before its connection.
    std::mutex clientMutex_;
    mosquitto* client_ = nullptr;
    bool sessionUp_ = false;

    // The network thread's own.
    std::string refused_;   // the broker's answer to the last connection, when a refusal
    std::string clientLog_; // the client library's last error line (a failed TLS check)

    // The line thread's own.
    bool connected_ = false;
    bool everConnected_ = false;
    std::map<int, OutMessage> inFlight_; // handed to the client, by message id
    Outbox outbox_;
    std::map<std::string, std::string> retained_; // every retained topic's latest payload
    std::vector<std::string> subscriptions_;
    std::string unreachable_; // why the broker was not reached, as last told

    std::thread network_;
    std::atomic<bool> stopping_{false};
    std::mutex pauseMutex_;
    std::condition_variable pauseEnds_;
};
