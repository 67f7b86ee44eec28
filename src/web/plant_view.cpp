#include "web/plant_view.h"

namespace {

// Seconds a reply must be newer than the last one told to be news.
constexpr double kReplyNews = 1.0;

ControllerView& entry(std::map<std::pair<std::string, int>, ControllerView>& all,
                      const std::string& line, int id) {
    ControllerView& c = all[{line, id}];
    c.line = line;
    c.id = id;
    return c;
}

} // namespace

void PlantView::changed(const Key& key, std::unique_lock<std::mutex>& lock) {
    const bool first = changed_.insert(key).second && changed_.size() == 1;
    lock.unlock();
    // One call while changes wait: the reader takes them all at once. Held
    // under a lock of its own, so a listener being replaced is never
    // called after setChangeListener returned.
    if (!first) return;
    std::lock_guard calling(listenerMutex_);
    if (listener_) listener_();
}

void PlantView::state(const std::string& line, int id, std::string json) {
    std::unique_lock lock(mutex_);
    ControllerView& c = entry(controllers_, line, id);
    if (c.state == json) return;
    c.state = std::move(json);
    changed({line, id}, lock);
}

void PlantView::available(const std::string& line, int id, bool online) {
    std::unique_lock lock(mutex_);
    ControllerView& c = entry(controllers_, line, id);
    if (c.online == online) return;
    c.online = online;
    changed({line, id}, lock);
}

void PlantView::polled(const std::string& line, int id, bool answered, double wallSeconds) {
    std::unique_lock lock(mutex_);
    ControllerView& c = entry(controllers_, line, id);
    if (!answered) return;
    c.lastReplyAt = wallSeconds;
    // At most once a second per controller, however short the interval.
    if (c.toldReplyAt && wallSeconds - *c.toldReplyAt < kReplyNews) return;
    changed({line, id}, lock);
}

void PlantView::removed(const std::string& line, int id) {
    std::unique_lock lock(mutex_);
    if (!controllers_.erase({line, id})) return;
    changed({line, id}, lock);
}

void PlantView::lineCounts(const std::string& line, std::function<LineCounts()> source) {
    std::lock_guard lock(mutex_);
    if (source)
        lines_[line] = std::move(source);
    else
        lines_.erase(line);
}

void PlantView::linePort(const std::string& line, std::string port) {
    std::lock_guard lock(mutex_);
    if (port.empty())
        ports_.erase(line);
    else
        ports_[line] = std::move(port);
}

std::vector<std::pair<std::string, std::string>> PlantView::linePorts() const {
    std::lock_guard lock(mutex_);
    return {ports_.begin(), ports_.end()};
}

void PlantView::broker(bool connected, std::uint64_t droppedTotal) {
    std::lock_guard lock(mutex_);
    broker_.connected = connected;
    broker_.droppedTotal = droppedTotal;
}

void PlantView::setChangeListener(std::function<void()> listener) {
    std::lock_guard lock(listenerMutex_);
    listener_ = std::move(listener);
}

std::vector<ControllerView> PlantView::controllers() const {
    std::lock_guard lock(mutex_);
    std::vector<ControllerView> all;
    all.reserve(controllers_.size());
    for (const auto& [key, c] : controllers_)
        all.push_back(c);
    return all;
}

std::vector<ControllerView> PlantView::takeChanged() {
    std::lock_guard lock(mutex_);
    std::vector<ControllerView> out;
    for (const Key& key : changed_) {
        const auto c = controllers_.find(key);
        if (c != controllers_.end()) {
            c->second.toldReplyAt = c->second.lastReplyAt;
            out.push_back(c->second);
        } else {
            ControllerView gone;
            gone.line = key.first;
            gone.id = key.second;
            gone.removed = true;
            out.push_back(gone);
        }
    }
    changed_.clear();
    return out;
}

std::vector<std::pair<std::string, LineCounts>> PlantView::lines() const {
    // Read under the lock, so a source removed is not called after its
    // removal returned (its line's statistics may be gone by then).
    std::lock_guard lock(mutex_);
    std::vector<std::pair<std::string, LineCounts>> out;
    for (const auto& [name, source] : lines_)
        out.emplace_back(name, source());
    return out;
}

BrokerView PlantView::brokerView() const {
    std::lock_guard lock(mutex_);
    return broker_;
}
