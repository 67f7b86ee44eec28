// A line's settings changed by a reload without closing its port: its
// controllers, interval, writes, Home Assistant's devices and the alarm
// rules are taken between two requests, and its polls and runs go on.
#include "serve/bridge.h"

#include "base/id_list.h"
#include "serve/line_alarms.h"
#include "serve/line_runs.h"

#include <algorithm>

namespace {

std::string writesText(const LineConfig& l) {
    std::string out;
    for (Setting s : l.writes)
        out += (out.empty() ? "" : ", ") + std::string(settingName(s));
    if (l.runs) out += out.empty() ? "run" : ", run";
    return out.empty() ? "none" : out;
}

// What a run writes (the set value, the mode) that now would not be allowed.
bool losesRunWrites(const LineConfig& was, const LineConfig& now) {
    return (was.runs && !now.runs) ||
           (was.writes.count(Setting::sv) && !now.writes.count(Setting::sv)) ||
           (was.writes.count(Setting::mode) && !now.writes.count(Setting::mode));
}

} // namespace

void Bridge::offer(LineChange change) {
    std::lock_guard lock(offeredMutex_);
    offered_ = std::move(change);
}

LineConfig Bridge::applied() const {
    std::lock_guard lock(seenMutex_);
    return seenConfig_;
}

bool Bridge::closeUnlessDriving(std::vector<std::string>* open) {
    std::lock_guard lock(seenMutex_);
    if (runChanging_ || !seenRuns_.empty()) {
        *open = seenRuns_;
        return false;
    }
    closing_ = true;
    return true;
}

void Bridge::keepOpen() {
    std::lock_guard lock(seenMutex_);
    closing_ = false;
}

void Bridge::noteRuns() {
    std::vector<std::string> names = runs_->names();
    std::lock_guard lock(seenMutex_);
    seenRuns_ = std::move(names);
    runChanging_ = false;
}

void Bridge::takeChange(LineChange change) {
    LineConfig& now = change.line;
    const std::string told = "reload: line " + lineConfig_.name + ": ";
    // A run's zone stays on the line until the run ended: neither its polls
    // nor its Home Assistant device go while the run drives it.
    for (int id : lineConfig_.ids) {
        if (idListed(now.ids, id)) continue;
        const std::string run = runs_->runOf(id);
        if (run.empty()) continue;
        now.ids.push_back(id);
        log_(told + "id " + std::to_string(id) + " stays: it is a zone of the open run " + run +
             "; a reload once the run ended takes it off");
    }
    const std::vector<std::string> open = runs_->names();
    if (!open.empty() && losesRunWrites(lineConfig_, now)) {
        log_(told + "its writes stay " + writesText(lineConfig_) + ", not " + writesText(now) +
             ": the open run " + open.front() +
             " writes the set value and the mode; a reload once the run ended takes them");
        now.writes = lineConfig_.writes;
        now.runs = lineConfig_.runs;
        now.writesLine = lineConfig_.writesLine;
    }
    std::vector<std::string> changed;
    if (now.interval != lineConfig_.interval) changed.push_back("interval");
    if (now.writes != lineConfig_.writes || now.runs != lineConfig_.runs)
        changed.push_back("writes");
    if (now.resume != lineConfig_.resume) changed.push_back("resume");
    if (now.ids != lineConfig_.ids) changeIds(now.ids);
    if (now.interval != lineConfig_.interval) {
        interval_ = std::chrono::duration_cast<Clock::TimePoint::duration>(
            std::chrono::duration<double>(now.interval));
        // The next cycle starts an interval after this one did, and the
        // pace is judged afresh against the interval asked.
        if (cycleStart_) nextCycle_ = *cycleStart_ + interval_;
        cycles_.clear();
        toldCycle_ = 0;
    }
    const LineConfig was = lineConfig_;
    lineConfig_ = now;
    readPrograms();
    if (now.writes != was.writes || now.runs != was.runs) takeWrites();
    if (change.homeAssistant != homeAssistant_) takeHomeAssistant(change.homeAssistant);
    if (change.rules && alarms_) alarms_->takeRules(std::move(*change.rules));
    if (change.secrets && alarms_) {
        alarms_->useSecrets(std::move(*change.secrets));
        log_(told + "its rules send with the notifications' new secrets");
    }
    runs_->takeLine(lineConfig_);
    if (!changed.empty()) {
        std::string what = changed.front();
        for (std::size_t i = 1; i < changed.size(); ++i)
            what += (i + 1 == changed.size() ? " and " : ", ") + changed[i];
        log_(told + "its " + what + " changed; taken in place" +
             (open.empty() ? "" : ", its runs go on"));
    }
    publishStatus();
    std::lock_guard lock(seenMutex_);
    seenConfig_ = lineConfig_;
}

// The writes in lineConfig_ are new: what waits and is no longer allowed
// is refused, and Home Assistant's entities follow them.
void Bridge::takeWrites() {
    if (alarms_) alarms_->allowWrites(lineConfig_.writes);
    refuseWaiting(
        [&](const Pending& p) {
            return !p.run.empty() ? !lineConfig_.runs
                                  : p.what && !lineConfig_.writes.count(*p.what);
        },
        "not allowed: a reload took it out of the line's writes");
    for (const auto& [id, s] : shown_)
        publishDiscovery(id);
}

void Bridge::takeHomeAssistant(bool on) {
    homeAssistant_ = on;
    if (on) {
        link_.subscribe(kHomeAssistantStatus);
        for (const auto& [id, s] : shown_)
            publishDiscovery(id);
        return;
    }
    // Each device this line made goes from Home Assistant.
    for (const auto& [topic, payload] : discovery_)
        if (!payload.empty()) publishRetained(topic, "");
    discovery_.clear();
    for (auto& [id, s] : shown_)
        s.discoveryShown = false;
}

void Bridge::changeIds(const std::vector<int>& ids) {
    std::vector<int> gone;
    for (int id : lineConfig_.ids)
        if (!idListed(ids, id)) gone.push_back(id);
    for (int id : gone)
        log_("reload: line " + lineConfig_.name + ": id " + std::to_string(id) + " removed");
    for (int id : ids)
        if (!idListed(lineConfig_.ids, id))
            log_("reload: line " + lineConfig_.name + ": id " + std::to_string(id) + " added");
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
    if (runs_) runs_->takeLine(lineConfig_);
    const auto at = nextId ? std::find(ids.begin(), ids.end(), nextId) : ids.end();
    next_ = std::size_t(at - ids.begin());
    publishStatus();
}

void Bridge::forget(const std::vector<int>& ids, bool line) {
    for (int id : ids) {
        for (const char* leaf : {"state", "available", "parameters"})
            publishRetained(base_.of(id, leaf), "");
        if (!homeAssistant_) continue;
        const auto s = shown_.find(id);
        const DiscoveryFacts facts = s == shown_.end() ? DiscoveryFacts{} : s->second.facts;
        for (const auto& [topic, payload] :
             discoveryMessages(base_, id, facts, lineConfig_.writes, runOffer(id))) {
            discovery_.erase(topic);
            publishRetained(topic, "");
        }
    }
    if (line) publishRetained(lineStatusTopic(base_), "");
}
