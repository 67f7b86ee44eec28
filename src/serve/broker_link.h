#pragma once
// What the bridge asks of its broker connection: the events the client
// posted to the inbox, handled on the line thread, subscriptions, and
// publishing. The MQTT client is one; the tests of the bridge's logic put
// a recorder in its place.
#include "serve/inbox.h"

#include <string>

class BrokerLink {
  public:
    virtual ~BrokerLink() = default;
    // The line thread's share of an event the client posted: true for a
    // connection the broker accepted just now.
    virtual bool handle(const BrokerEvent& event) = 0;
    // Subscribed now and on every later connection. A message the broker
    // kept retained arrives marked retained, whenever it comes.
    virtual void subscribe(const std::string& pattern) = 0;
    // No longer subscribed, now or later: a controller the config no longer names.
    virtual void unsubscribe(const std::string& pattern) = 0;
    // A retained message is given again, its latest alone, to a broker
    // that was away; an empty retained one clears the topic.
    virtual void publish(std::string topic, std::string payload, bool retain) = 0;
};
