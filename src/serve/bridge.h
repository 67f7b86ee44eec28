#pragma once
// The bridge between one line and the broker. On its one thread it polls
// each controller in turn, once per interval, publishes what changed, and
// runs the commands that came in between two requests: never two things on
// the line at once.
#include "serve/bridge_line.h"
#include "serve/discovery.h"
#include "serve/inbox.h"
#include "serve/mqtt_link.h"
#include "serve/serve_config.h"
#include "serve/topics.h"

#include <chrono>
#include <deque>
#include <map>
#include <set>

class Bridge {
  public:
    using Log = std::function<void(const std::string&)>;
    Bridge(const ServeConfig& config, std::size_t line, BridgeLine& bridgeLine, MqttLink& link,
           Inbox& inbox, Log log);
    // Until the inbox is stopped; then publishes every controller offline.
    void run();

  private:
    using Clock = std::chrono::steady_clock;
    // What the broker was last given of one controller.
    struct Shown {
        std::optional<bool> available;
        std::string values; // the state without its time
        Clock::time_point stateAt;
        Reading last;
        bool parametersRead = false;
        std::optional<Clock::time_point> parametersTried;
        DiscoveryFacts facts;
    };
    struct Pending {
        int id;
        Setting what;
        double value;
    };

    void handle(const BrokerEvent& e);
    void command(const BrokerEvent& e);
    void runCommand(const Pending& p);
    void serveParameters(int id, bool asked);
    void poll(int id);
    void publishRetained(const std::string& topic, const std::string& payload);
    void publishDiscovery(int id);
    void reject(int id, const std::string& command, std::optional<double> value,
                const std::string& reason);
    std::string who(int id) const;

    const ServeConfig& config_;
    const LineConfig& lineConfig_;
    TopicBase base_;
    BridgeLine& line_;
    MqttLink& link_;
    Inbox& inbox_;
    Log log_;
    std::map<int, Shown> shown_;
    std::map<std::string, std::string> retained_; // every retained topic's latest payload
    std::deque<Pending> commands_;
    std::set<int> parametersAsked_;
};
