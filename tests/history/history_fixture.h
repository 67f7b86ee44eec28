#pragma once
// Runs built into a real runs.sqlite with known answers, for the history's
// tests: a run on its plan to the degree, and runs that the plan waited
// for in segment 2. The commands read that store as a user runs them.
#include "cli/cli_run.h"
#include "runs/plan.h"
#include "runs/run_store.h"

using namespace cli;

// 20 to 80 at 60/h and 10 minutes' hold, to 140 at 60/h, then full to 200
// and 10 minutes' hold: 4200, 3600 and 600 s.
inline constexpr const char* kProgram = "[program]\nname = Bisque\nunit = C\nstart = 20\n"
                                        "holdback = 5\nend = off\n[segments]\n"
                                        "60 80 0:10\n60 140 0:00\nfull 200 0:10\n";
inline constexpr double kT0 = 1'800'000'000; // 2027-01-15T08:00:00Z
inline constexpr double kWait = 6000;        // where on the plan segment 2 waits

class History : public CliTest {
  protected:
    std::unique_ptr<RunStore> store() {
        auto s = RunStore::open(path(kRunStoreFile));
        if (auto* why = std::get_if<std::string>(&s)) {
            ADD_FAILURE() << *why;
            return nullptr;
        }
        return std::move(std::get<std::unique_ptr<RunStore>>(s));
    }

    // A completed run of two zones sampled every minute (waits are whole
    // minutes), PV on the plan but while the plan waits `held` seconds at
    // 6000 s in segment 2, PV 6 below it there; or one stopped at stopAt.
    // The output is 50 % on zone 1 and 51 % on zone 2 throughout.
    long long addRun(RunStore& s, double start, double held,
                     std::optional<double> stopAt = std::nullopt,
                     const char* programText = kProgram) {
        RunState st;
        st.programName = "Bisque";
        st.programText = programText;
        st.opened = start;
        st.zones.resize(2);
        st.zones[0].port = st.zones[1].port = "COM1";
        st.zones[0].id = 1;
        st.zones[1].id = 2;
        const auto id = s.create(st, std::nullopt, nullptr);
        EXPECT_TRUE(id);
        const auto parsed = parseFiringProgram(kProgram);
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
                    RunSample{start + w, z, sv - (waiting ? 6 : 0), sv, 50 + z, sv});
            EXPECT_TRUE(s.record(*id, u, nullptr));
        }
        return *id;
    }
};
