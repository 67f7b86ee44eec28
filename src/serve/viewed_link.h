#pragma once
// A line's broker connection as the web view sees it: every state and
// availability the line publishes goes to the broker and, the same text,
// to the plant view, so the page and /api/state show exactly what a
// subscriber is given. A state cleared (a controller that a reload took
// away) leaves the view too.
#include "serve/broker_link.h"
#include "serve/topics.h"

class PlantView;

class ViewedLink : public BrokerLink {
  public:
    ViewedLink(BrokerLink& link, PlantView& view, TopicBase base)
        : link_(link), view_(view), base_(std::move(base)) {}

    bool handle(const BrokerEvent& e) override { return link_.handle(e); }
    void subscribe(const std::string& pattern) override { link_.subscribe(pattern); }
    void unsubscribe(const std::string& pattern) override { link_.unsubscribe(pattern); }
    void publish(std::string topic, std::string payload, bool retain) override;

  private:
    BrokerLink& link_;
    PlantView& view_;
    const TopicBase base_;
};
