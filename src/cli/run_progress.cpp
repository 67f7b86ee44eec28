#include "cli/run_progress.h"

#include "base/time_text.h"
#include "base/typed_number.h"
#include "runs/held_back.h"
#include "runs/program_file.h"
#include "runs/run_engine.h"
#include "runs/run_order.h"
#include "runs/run_units.h"

#include <cstdio>

RunProgress::RunProgress(const RunEngine& engine, bool verbose)
    : engine_(engine), verbose_(verbose) {}

void RunProgress::runUpdated(const RunUpdate& u) {
    double now = 0;
    for (const RunEvent& e : u.events) {
        std::printf("%s %s%s\n", clockTextAt(e.time).c_str(),
                    e.kind == EventKind::mark    ? "mark: "
                    : e.kind == EventKind::field ? "field: "
                                                 : "",
                    e.text.c_str());
        now = e.time;
    }
    if (!u.samples.empty()) now = u.samples.front().time;
    const RunPhase phase = u.state.phase;
    if (phase == RunPhase::running && (!u.events.empty() || finishTold_.empty())) tellFinish(now);
    if (phase == RunPhase::ended) finishTold_.clear();
    if (!u.samples.empty() && (phase == RunPhase::running || phase == RunPhase::paused) &&
        (verbose_ || !lastLine_ || now - *lastLine_ >= kEverySeconds)) {
        tellZones(u);
        lastLine_ = now;
    }
    std::fflush(stdout);
}

// Told again only when it moved: hold-back and pauses push it on.
void RunProgress::tellFinish(double now) {
    if (now <= 0) return;
    const std::string at = dayClockText(now + engine_.secondsToGo(), now);
    if (at == finishTold_) return;
    finishTold_ = at;
    std::printf("%s finishes about %s\n", clockTextAt(now).c_str(), at.c_str());
}

void RunProgress::tellZones(const RunUpdate& u) {
    const RunState& st = u.state;
    const RunUnits units = RunUnits::of(st);
    const auto figure = [&](int zone, const std::optional<double>& v) {
        const auto shown = units.temperature(zone, v);
        return shown ? numberText(roundedTo(*shown, 1)) + units.sign() : std::string("-");
    };
    std::string text = clockTextAt(u.samples.front().time) + " segment " +
                       std::to_string(st.segment + 1) + " of " +
                       std::to_string(engine_.program().segments.size());
    if (const std::string cycle = cycleText(engine_.program(), engine_.currentStep());
        !cycle.empty())
        text += ", " + cycle;
    if (st.phase == RunPhase::paused) text += ", paused";
    text += ", plan SV " + numberText(roundedTo(engine_.plannedSv(), 1)) + units.sign() + ":";
    bool first = true;
    for (const RunSample& s : u.samples) {
        if (s.zone < 0 || std::size_t(s.zone) >= st.zones.size()) continue;
        const ZoneState& z = st.zones[std::size_t(s.zone)];
        text += std::string(first ? " " : "; ") + z.port + " id " + std::to_string(z.id) + " PV " +
                figure(s.zone, s.pv) + ", SV " + figure(s.zone, s.sv);
        if (z.offset != 0) text += " (plan " + figure(s.zone, s.planSv) + ")";
        first = false;
    }
    if (const std::string held = heldBackText(engine_); !held.empty()) text += "; " + held;
    std::printf("%s\n", text.c_str());
}
