// A line's controllers changed by a reload, without stopping its polls.
#include "serve/bridge.h"

#include "base/id_list.h"
#include "serve/line_alarms.h"
#include "serve/line_runs.h"

#include <algorithm>

void Bridge::offerIds(std::vector<int> ids) {
    std::lock_guard lock(offeredMutex_);
    offered_ = std::move(ids);
}

void Bridge::changeIds(const std::vector<int>& ids) {
    std::vector<int> gone;
    for (int id : lineConfig_.ids)
        if (!idListed(ids, id)) gone.push_back(id);
    // The cycle goes on from the controller that was next, when it stays.
    const int nextId = next_ < lineConfig_.ids.size() ? lineConfig_.ids[next_] : 0;
    refuseWaiting([&](const Pending& p) { return idListed(gone, p.id); },
                  "the id was taken off the line by a reload");
    forget(gone);
    if (runs_) runs_->forgetIds(gone);
    if (alarms_) alarms_->forgetIds(gone);
    for (int id : gone) {
        shown_.erase(id);
        for (const char* commands : kCommandTopics)
            link_.unsubscribe(base_.of(id, commands));
    }
    if (check_ && idListed(gone, *check_)) check_.reset();
    if (lastGoodId_ && idListed(gone, *lastGoodId_)) lastGoodId_.reset();
    for (int id : ids)
        if (!shown_.count(id)) {
            shown_[id];
            for (const char* commands : kCommandTopics)
                link_.subscribe(base_.of(id, commands));
        }
    lineConfig_.ids = ids;
    const auto at = nextId ? std::find(ids.begin(), ids.end(), nextId) : ids.end();
    next_ = std::size_t(at - ids.begin());
    publishStatus();
}

void Bridge::forget(const std::vector<int>& ids, bool line) {
    for (int id : ids) {
        for (const char* leaf : {"state", "available", "parameters"})
            publishRetained(base_.of(id, leaf), "");
        if (!config_.broker.homeAssistant) continue;
        const auto s = shown_.find(id);
        const DiscoveryFacts facts = s == shown_.end() ? DiscoveryFacts{} : s->second.facts;
        for (const auto& [topic, payload] :
             discoveryMessages(base_, id, facts, lineConfig_.writes)) {
            discovery_.erase(topic);
            publishRetained(topic, "");
        }
    }
    if (line) publishRetained(lineStatusTopic(base_), "");
}
