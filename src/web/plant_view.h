#pragma once
// What the web view knows of the plant: the bridge tells it, from its line
// threads, as it publishes; the web server reads it on its own thread.
// Every call is safe from any thread.
//
// A change (a new state, availability, a reply a second newer than the
// one last taken, a controller removed) marks the
// controller changed and, if it was not already marked, calls the change
// listener on the caller's thread. The listener only schedules work on the
// reader's thread, which then takes the marked controllers at once; so a
// reader that falls behind gets one message per controller, never a queue.
#include "traffic/line_statistics.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct ControllerView {
    std::string line;
    int id = 0;
    std::string state;                 // the state JSON as published; empty before any
    std::optional<bool> online;        // as last published; nothing before any
    std::optional<double> lastReplyAt; // wall-clock seconds of the last answered poll
    bool removed = false;              // only in what takeChanged() gives
    // The last reply as takeChanged() last gave it: a reply is news once
    // it is a second newer, so the page's age of it stays true.
    std::optional<double> toldReplyAt;
};

struct BrokerView {
    std::optional<bool> connected; // nothing until the bridge tells
    std::uint64_t droppedTotal = 0;
};

class PlantView {
  public:
    // The controller's state JSON exactly as the bridge just published it
    // retained on PREFIX/LINE/ID/state.
    void state(const std::string& line, int id, std::string json);
    void available(const std::string& line, int id, bool online);
    // Every poll of the controller, answered or not, at wall-clock seconds.
    void polled(const std::string& line, int id, bool answered, double wallSeconds);
    // A reload removed the controller.
    void removed(const std::string& line, int id);
    // Where the line's statistics are read when the metrics are asked for.
    // An empty source removes the line; once this call returns the old
    // source is never called again, so its statistics may go.
    void lineCounts(const std::string& line, std::function<LineCounts()> source);
    // The port a line is on, as its config names it, so a run's zones are
    // named by their line; empty: the line is gone.
    void linePort(const std::string& line, std::string port);
    void broker(bool connected, std::uint64_t droppedTotal);

    // Called on the thread that made a change, outside the view's lock; it
    // should only schedule the reading (takeChanged) elsewhere.
    void setChangeListener(std::function<void()> listener);

    // Every controller, by line and id.
    std::vector<ControllerView> controllers() const;
    // The controllers changed since the last call, each once.
    std::vector<ControllerView> takeChanged();
    // Each line's counts, read now from its source, by line.
    std::vector<std::pair<std::string, LineCounts>> lines() const;
    // Each line with its port, by line.
    std::vector<std::pair<std::string, std::string>> linePorts() const;
    BrokerView brokerView() const;

  private:
    using Key = std::pair<std::string, int>;
    void changed(const Key& key, std::unique_lock<std::mutex>& lock);

    mutable std::mutex mutex_;
    std::map<Key, ControllerView> controllers_;
    std::set<Key> changed_;
    std::map<std::string, std::function<LineCounts()>> lines_;
    std::map<std::string, std::string> ports_;
    BrokerView broker_;
    std::mutex listenerMutex_;
    std::function<void()> listener_;
};
