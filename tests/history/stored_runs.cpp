#include "history/stored_runs.h"

#include "runs/plan.h"
#include "runs/program_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <variant>

namespace storedruns {

std::unique_ptr<RunStore> openStore(const std::string& path) {
    auto s = RunStore::open(path);
    if (auto* why = std::get_if<std::string>(&s)) {
        ADD_FAILURE() << *why;
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<RunStore>>(s));
}

std::string programNamed(const std::string& name) {
    std::string text = kProgram;
    return text.replace(text.find("Bisque"), 6, name);
}

long long addRun(RunStore& s, double start, double held, std::optional<double> stopAt,
                 const std::string& text, std::optional<TemperatureUnit> controllers) {
    const auto parsed = parseFiringProgram(text);
    EXPECT_TRUE(std::holds_alternative<FiringProgram>(parsed)) << text;
    if (!std::holds_alternative<FiringProgram>(parsed)) return 0;
    RunState st;
    st.programName = std::get<FiringProgram>(parsed).name;
    st.programText = text;
    st.opened = start;
    st.zones.resize(2);
    st.zones[0].port = st.zones[1].port = "COM1";
    st.zones[0].id = 1;
    st.zones[1].id = 2;
    st.zones[0].unit = st.zones[1].unit = controllers;
    const auto unit = std::get<FiringProgram>(parsed).unit;
    const auto shown = [&](double v) {
        return controllers ? convertTemperature(v, unit, *controllers) : v;
    };
    const auto id = s.create(st, std::nullopt, nullptr);
    EXPECT_TRUE(id);
    const Plan plan(std::get<FiringProgram>(parsed), PlanStart{0, 20, 0});
    st.phase = RunPhase::running;
    st.planStart = PlanStart{0, 20, 0};
    st.started = start;
    const double end = stopAt.value_or(plan.totalSeconds() + held);
    for (double w = 0; w <= end; w += 60) {
        RunUpdate u{st, {}, {}, false};
        const bool waiting = held > 0 && w >= kWait && w < kWait + held;
        const double clock = w < kWait ? w : std::max(kWait, w - held);
        const double sv = plan.svAt(clock);
        const auto event = [&](EventKind k, int seg) {
            u.events.push_back(RunEvent{start + w, std::nullopt, k, seg, ""});
        };
        if (w == 0) event(EventKind::start, 0);
        if (w == 4200) event(EventKind::segment, 0);
        if (waiting && w == kWait) event(EventKind::holdBackStart, 1);
        if (held > 0 && w == kWait + held) event(EventKind::holdBackEnd, 1);
        if (w == 7800 + held) event(EventKind::segment, 1);
        if (w == end) {
            st.phase = RunPhase::ended;
            st.outcome = stopAt ? RunOutcome::stopped : RunOutcome::completed;
            st.ended = start + w;
            event(EventKind::end, 2);
        }
        for (int z = 0; z < 2; ++z)
            u.samples.push_back(
                RunSample{start + w, z, shown(sv - (waiting ? 6 : 0)), shown(sv), 50 + z, shown(sv)});
        EXPECT_TRUE(s.record(*id, u, nullptr));
    }
    return *id;
}

} // namespace storedruns
