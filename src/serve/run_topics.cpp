#include "serve/run_topics.h"

#include "base/json_writer.h"
#include "base/number_text.h"
#include "runs/held_back.h"
#include "runs/run_engine.h"
#include "runs/run_order.h"
#include "runs/run_recorder.h"
#include "runs/run_store.h"
#include "runs/run_units.h"
#include "serve/messages.h"

#include <chrono>
#include <cmath>

namespace {

// As the controller states are: given again within a minute, changed or not.
constexpr auto kAtLeastEvery = std::chrono::seconds(60);
constexpr std::size_t kMaxNameLength = 64;

} // namespace

std::string runTopicName(const std::string& programName) {
    std::string out;
    for (char c : programName) {
        if (out.size() == kMaxNameLength) break;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '-';
        out += plain ? c : '_';
    }
    return out.empty() ? "run" : out;
}

RunTopics::RunTopics(const RunEngine& engine, std::string topic, BrokerLink& link)
    : engine_(engine), topic_(std::move(topic)), link_(link) {}

void RunTopics::runUpdated(const RunUpdate& u) {
    for (const RunSample& s : u.samples) {
        if (s.zone < 0) continue;
        const auto i = std::size_t(s.zone);
        if (pv_.size() <= i) pv_.resize(i + 1), sv_.resize(i + 1), planSv_.resize(i + 1);
        pv_[i] = s.pv;
        sv_[i] = s.sv;
        planSv_[i] = s.planSv;
    }
    const auto at = lineClock().now();
    if (values() == shown_ && shownAt_ && at - *shownAt_ < kAtLeastEvery) return;
    send();
}

void RunTopics::publish() {
    if (values() != shown_) send();
}

void RunTopics::send() {
    shown_ = values();
    shownAt_ = lineClock().now();
    // The values and the time they were true, as a controller's state has it.
    std::string payload = shown_;
    payload.pop_back();
    payload += ",\"time\":" + jsonString(localIsoTime(std::chrono::system_clock::now())) + "}";
    link_.publish(topic_, payload, true);
}

std::string RunTopics::values() const {
    const RunState& st = engine_.state();
    const FiringProgram& program = engine_.program();
    JsonObject o;
    o.text("program", st.programName);
    o.text("phase", phaseName(st.phase));
    if (st.outcome) o.text("outcome", outcomeName(*st.outcome));
    if (st.phase == RunPhase::paused) o.text("reason", st.pauseReason);
    o.whole("segment", st.segment + 1).whole("segments", long(program.segments.size()));
    if (const ProgramStep s = stepOf(program, engine_.currentStep()); s.cycle)
        o.whole("cycle", s.cycle).whole("cycles", program.repeat->times);
    o.text("unit", trimmed(unitSign(program.unit)));
    if (st.phase != RunPhase::ended) {
        o.number("planned_sv", engine_.plannedSv(), 1);
        o.whole("time_to_go", std::lround(engine_.secondsToGo()));
    }
    o.number("holdback", program.holdback, 1).boolean("held_back", engine_.holdingBack());
    if (engine_.holdingBack()) o.text("held_back_text", heldBackText(engine_));
    // A record with a gap is told where the run is watched: its end may be
    // kept beside the store alone.
    if (recorder_ && !recorder_->problem().empty()) o.text("unrecorded", recorder_->problem());
    // PV and SV as the run's unit says, whatever unit the controller shows.
    const RunUnits units = RunUnits::of(st);
    std::vector<JsonObject> zones;
    for (std::size_t i = 0; i < st.zones.size(); ++i) {
        const ZoneState& z = st.zones[i];
        JsonObject zone;
        zone.whole("id", z.id).number("offset", z.offset, 1);
        const int zi = int(i);
        const int digits = z.unit && *z.unit != program.unit ? 1 : engine_.zoneFacts(i).digits;
        if (i < pv_.size() && pv_[i]) zone.number("pv", units.temperature(zi, *pv_[i]), digits);
        if (i < sv_.size() && sv_[i]) zone.number("sv", units.temperature(zi, *sv_[i]), digits);
        zones.push_back(zone);
    }
    o.objects("zones", zones);
    return o.str();
}
