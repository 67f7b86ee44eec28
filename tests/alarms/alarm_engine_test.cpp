// The rule engine on a virtual clock: it fires on the edge of the whole
// condition, after its `for` time, again only once the condition has been
// false that long, at most once a minute; each kind of condition fires on
// what it watches. Actions are those of a recording host; `command` runs
// real programs. A firing's zones are judged as its run tells them, on
// fake controllers.
#include "alarms/alarm_engine.h"
#include "alarms/run_view.h"
#include "history/run_figures.h"
#include "runs/fake_zone.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace {

class Recorded final : public AlarmActions {
  public:
    ActionResult perform(const AlarmEvent&, const AlarmAction& a) override {
        performed.push_back(actionName(a.kind));
        const bool refused = a.kind == AlarmAction::Kind::off && !offWorks;
        return {!refused, refused ? "refused" : "done"};
    }
    void record(const AlarmEvent& e) override { events.push_back(e); }
    bool offWorks = false;
    std::vector<std::string> performed;
    std::vector<AlarmEvent> events;
};

AlarmRules rulesOf(const std::string& text) {
    auto r = parseAlarmRules(text, "alarms.conf");
    if (const auto* why = std::get_if<std::string>(&r)) ADD_FAILURE() << *why;
    return std::get_if<AlarmRules>(&r) ? std::get<AlarmRules>(r) : AlarmRules{};
}

class Engine : public ::testing::Test {
  protected:
    void use(const std::string& rule, const std::string& actions = "log") {
        engine = std::make_unique<AlarmEngine>(
            rulesOf("[rule r]\nwhen = " + rule + "\ndo = " + actions + "\n"), host);
    }
    AlarmObservation at(double pv) {
        AlarmObservation o;
        o.at = clock.now();
        o.line = "COM1";
        o.id = 1;
        o.pv = pv;
        o.sv = 100;
        return o;
    }
    // Feeds pv once a second for seconds (none: PV not read); how many events came.
    std::size_t feed(std::optional<double> pv, double seconds) {
        const std::size_t before = host.events.size();
        for (double t = 0; t < seconds; t += 1) {
            AlarmObservation o = at(pv.value_or(0));
            o.pv = pv;
            engine->observe(o);
            clock.advance(1);
        }
        return host.events.size() - before;
    }

    // A firing at 60 times life on fake zones of COM1, ids 1, 2, ...
    void fire(const std::string& keys, const std::string& segments,
              std::vector<std::shared_ptr<FakeKiln>> kilns, std::vector<double> offsets = {}) {
        programText = "[program]\nname = t\nunit = C\n" + keys + "[segments]\n" + segments;
        const auto p = parseFiringProgram(programText);
        ASSERT_TRUE(std::holds_alternative<FiringProgram>(p));
        std::vector<EngineZone> zones;
        for (std::size_t i = 0; i < kilns.size(); ++i) {
            kilns[i]->facts.digits = 1;
            kilns[i]->facts.lo = -100;
            kilns[i]->facts.hi = 1200;
            zones.push_back({std::make_unique<FakeZone>(kilns[i]), "COM1", int(i + 1),
                             i < offsets.size() ? offsets[i] : 0.0});
        }
        RunOptions o;
        o.timeScale = 60;
        o.wallNow = 0;
        run = std::make_unique<RunEngine>(std::get<FiringProgram>(p), programText, std::move(zones),
                                          o);
        run->addListener(&told);
        ASSERT_EQ(run->open(), "");
    }
    // One poll of the run, its zones observed as q7 run observes them.
    void tick() {
        run->tick();
        for (std::size_t i = 0; i < run->state().zones.size(); ++i)
            engine->observe(runZoneObservation(*run, i, false, clock.now()));
        clock.advance(1);
    }

    VirtualClock clock;
    Recorded host;
    std::unique_ptr<AlarmEngine> engine;
    std::string programText;
    std::unique_ptr<RunEngine> run;
    Told told;
};

} // namespace

TEST_F(Engine, FiresOnceOnTheEdgeAndAgainOnlyOnTheNextEdgeAMinuteLater) {
    use("pv > 150");
    EXPECT_EQ(feed(140, 5), 0u);
    EXPECT_EQ(feed(160, 30), 1u); // once as it becomes true, not once per poll
    EXPECT_EQ(host.events[0].rule, "r");
    EXPECT_EQ(host.events[0].line, "COM1");
    EXPECT_EQ(*host.events[0].pv, 160);
    EXPECT_EQ(host.events[0].done, (std::vector<std::string>{"log done"}));
    // False and true again 31 s after the firing: held back until the
    // minute is over, then it fires, the condition still holding.
    EXPECT_EQ(feed(140, 1), 0u);
    EXPECT_EQ(feed(160, 28), 0u);
    EXPECT_EQ(feed(160, 2), 1u);
    // A different controller is a different firing.
    AlarmObservation other = at(160);
    other.id = 2;
    engine->observe(other);
    EXPECT_EQ(host.events.size(), 3u);
    EXPECT_EQ(host.events[2].id, 2);
}

TEST_F(Engine, ForWaitsForTheConditionToHoldAndItsFalseTimeRearmsIt) {
    use("pv > 150 for 1:00");
    EXPECT_EQ(feed(160, 59), 0u);
    EXPECT_EQ(feed(140, 1), 0u); // broken: the minute begins again
    EXPECT_EQ(feed(160, 60), 0u);
    EXPECT_EQ(feed(160, 1), 1u);
    // Hysteresis: false for less than a minute does not rearm it.
    EXPECT_EQ(feed(140, 30), 0u);
    EXPECT_EQ(feed(160, 120), 0u);
    EXPECT_EQ(feed(140, 61), 0u);
    EXPECT_EQ(feed(160, 61), 1u);
}

TEST_F(Engine, AGapInTheReadingsNeitherBreaksNorRearmsARule) {
    use("pv > 150 for 1:00");
    EXPECT_EQ(feed(160, 30), 0u);
    EXPECT_EQ(feed(std::nullopt, 20), 0u);
    EXPECT_EQ(feed(160, 11), 1u); // a minute since it became true
    EXPECT_EQ(feed(std::nullopt, 120), 0u);
    EXPECT_EQ(feed(160, 60), 0u); // never seen false: not rearmed
}

TEST_F(Engine, AndNeedsEveryConditionAtOnce) {
    use("pv > sv + 30 and out == 0");
    // PV 40 above SV with the output on; then off, but PV near SV; then
    // both: heating with no output, a relay stuck on.
    const struct {
        double pv, out;
        std::size_t events;
    } polls[] = {{140, 5, 0}, {120, 0, 0}, {131, 5, 0}, {131, 0, 1}};
    for (const auto& p : polls) {
        AlarmObservation o = at(p.pv);
        o.out = p.out;
        engine->observe(o);
        EXPECT_EQ(host.events.size(), p.events) << p.pv << " " << p.out;
        clock.advance(1);
    }
}

TEST_F(Engine, EachConditionFiresOnWhatItWatches) {
    using Run = AlarmObservation::Run;
    const struct {
        std::string when;
        std::function<void(AlarmObservation&)> quiet, fires;
    } cases[] = {
        {"pv >= 150", [](auto& o) { o.pv = 149; }, [](auto& o) { o.pv = 150; }},
        {"sv <= 50", [](auto& o) { o.sv = 51; }, [](auto& o) { o.sv = 50; }},
        {"out > 90", [](auto& o) { o.out = 90; }, [](auto& o) { o.out = 91; }},
        {"out == 0", [](auto& o) { o.out.reset(); }, [](auto& o) { o.out = 0; }}, // unread: no
        {"pv < sv - 10", [](auto& o) { o.pv = 95; }, [](auto& o) { o.pv = 89; }},
        // From SV outside a run, from the plan inside one, either way round.
        {"deviation > 25", [](auto& o) { o.pv = 120; }, [](auto& o) { o.pv = 70; }},
        {"deviation > 25",
         [](auto& o) {
             o.pv = 100;
             o.planSv = 110;
         },
         [](auto& o) {
             o.pv = 100;
             o.planSv = 130;
         }},
        {"silent", [](auto&) {}, [](auto& o) { o.silent = true; }},
        {"alarm 1",
         [](auto& o) {
             o.alarm1 = false;
             o.alarm2 = true;
         },
         [](auto& o) { o.alarm1 = true; }},
        {"alarm 2",
         [](auto& o) {
             o.alarm1 = true;
             o.alarm2 = false;
         },
         [](auto& o) { o.alarm2 = true; }},
        {"sensor error", [](auto& o) { o.sensorError = false; },
         [](auto& o) { o.sensorError = true; }},
        {"run started", [](auto& o) { o.run = Run::none; }, [](auto& o) { o.run = Run::running; }},
        {"run ended and pv < 60",
         [](auto& o) {
             o.run = Run::ended;
             o.pv = 61;
         },
         [](auto& o) {
             o.run = Run::ended;
             o.pv = 59;
         }},
        {"segment changed", [](auto& o) { o.segment = 0; }, [](auto& o) { o.segment = 1; }},
        {"failed to reach", [](auto& o) { o.failedToReach = false; },
         [](auto& o) { o.failedToReach = true; }},
    };
    for (const auto& c : cases) {
        host.events.clear();
        use(c.when);
        AlarmObservation quiet = at(100), fires = at(100);
        c.quiet(quiet);
        engine->observe(quiet);
        EXPECT_TRUE(host.events.empty()) << c.when;
        clock.advance(1);
        c.fires(fires);
        fires.at = clock.now();
        engine->observe(fires);
        EXPECT_EQ(host.events.size(), 1u) << c.when;
    }
}

TEST_F(Engine, RateIsTheRampsReachedAgainstThePlansOnItsTimeScale) {
    use("rate < 50% for 5:00", "hold");
    // The plan climbs 120 per hour at 60 times life; the kiln makes 48.
    // Its rate is known after two minutes of the plan, and the rule holds
    // five minutes more: seven minutes of the plan, seven seconds here.
    double pv = 100;
    std::size_t fired = 0;
    for (int s = 0; s < 20; ++s) {
        AlarmObservation o = at(pv);
        o.planRate = 120;
        o.planSv = 100 + 2.0 * s;
        o.segment = 0;
        o.timeScale = 60;
        engine->observe(o);
        if (host.events.size() > fired) {
            fired = host.events.size();
            EXPECT_EQ(s, 7);
        }
        pv += 48.0 / 60;
        clock.advance(1);
    }
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_NEAR(*host.events[0].rate, 48, 0.01);
    EXPECT_EQ(host.performed, (std::vector<std::string>{"hold"}));
    // Cooling at the plan's rate is no stall; without a ramp there is no rate.
    use("rate < 50%");
    for (int s = 0; s < 10; ++s) {
        AlarmObservation o = at(500 - 2.0 * s);
        o.planRate = -120;
        o.timeScale = 60;
        engine->observe(o);
        AlarmObservation hold = at(500);
        hold.id = 2;
        engine->observe(hold);
        clock.advance(1);
    }
    EXPECT_EQ(host.events.size(), 1u);
}

TEST_F(Engine, AZonesRateIsJudgedWhereItsSvAsksAndDeviationWhereTheControllerWorksToSv) {
    use("rate < 50% for 1:00");
    // Zone 2 (offset -5) starts above its SV and never heats; zone 1 is
    // at its SV. Zone 2 is asked nothing until its SV passes its PV, and
    // then the plan waits for it: it alone is judged, and zone 1, which
    // keeps to its SV however slow the plan became, is no stall.
    auto one = std::make_shared<FakeKiln>(), two = std::make_shared<FakeKiln>();
    two->followSv = false;
    two->pv = 40;
    fire("start = 20\nholdback = 5\n", "300 200 0:00\n", {one, two}, {0, -5});
    std::optional<int> heldFrom, firedAt;
    for (int s = 0; s < 30; ++s) {
        tick();
        if (run->holdingBack() && !heldFrom) heldFrom = s;
        if (!host.events.empty() && !firedAt) firedAt = s;
    }
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].line + " id " + std::to_string(host.events[0].id), "COM1 id 2");
    ASSERT_TRUE(heldFrom && firedAt);
    EXPECT_GT(*firedAt, *heldFrom);
    EXPECT_EQ(run->holdingBackFor(), 1);

    // Outside a run, a controller Off or in Manual works to no SV: its
    // deviation is not known, and neither fires nor rearms the rule.
    use("deviation > 30 for 2:00");
    const auto poll = [&](std::optional<ControlMode> mode, double seconds) {
        const std::size_t before = host.events.size();
        for (double t = 0; t < seconds; t += 1) {
            AlarmObservation o = at(20);
            o.sv = 61.4;
            o.mode = mode;
            engine->observe(o);
            clock.advance(1);
        }
        return host.events.size() - before;
    };
    EXPECT_EQ(poll(ControlMode::off, 300), 0u);
    EXPECT_EQ(poll(ControlMode::manual, 300), 0u);
    EXPECT_EQ(poll(ControlMode::on, 121), 1u);
    EXPECT_EQ(poll(ControlMode::off, 300), 0u);
    EXPECT_EQ(poll(ControlMode::on, 300), 0u); // not rearmed by the time Off
}

TEST_F(Engine, AFullRateSegmentsDeviationCountsOnceItsZoneReachedItsTarget) {
    use("deviation > 30");
    // Full to 200 from 20, at 30 a poll; at 200, a dip to 165; then down
    // at 600 per hour, on the plan.
    auto k = std::make_shared<FakeKiln>();
    k->followSv = false;
    fire("start = 20\n", "full 200 0:10\n-600 100 0:00\n", {k});
    for (int s = 0; s < 40 && !run->ended(); ++s) {
        k->pv = s == 8 ? 165 : std::min(200.0, 20.0 + 30 * s);
        k->followSv = run->state().segment == 1;
        tick();
    }
    ASSERT_TRUE(run->ended());
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].deviation, 35);
    // The run's figures count the same.
    const RunFigures f =
        runFigures(StoredRun{1, std::nullopt, run->state()}, told.samples, told.events);
    ASSERT_EQ(f.segments.size(), 2u);
    EXPECT_EQ(f.segments[0].largestDeviation, 35);
    EXPECT_EQ(f.largestDeviation, 35);
    EXPECT_EQ(deviationCoverage(f),
              " (segment 2; full-rate segment 1 not counted until it reached its target)");
}

TEST_F(Engine, AnActionThatFailsSaysSoInItsEvent) {
    use("pv > 150", "notify, off");
    feed(160, 1);
    ASSERT_EQ(host.events.size(), 2u);
    EXPECT_FALSE(host.events[0].ok);
    EXPECT_EQ(host.events[0].done, (std::vector<std::string>{"notify done", "off refused"}));
    EXPECT_EQ(host.events[1].kind, AlarmEvent::Kind::actionFailed);
    EXPECT_EQ(host.events[1].done, (std::vector<std::string>{"off refused"}));
    EXPECT_NE(host.events[0].text().find("rule r on COM1 id 1 (pv 160, sv 100"), std::string::npos)
        << host.events[0].text();
    // The firing is not done: while the condition holds, the off that was
    // refused is tried again a minute later, alone, until it is carried out.
    feed(160, 60);
    ASSERT_EQ(host.events.size(), 4u);
    EXPECT_EQ(host.events[2].done, (std::vector<std::string>{"off refused (tried again)"}));
    EXPECT_EQ(host.events[3].kind, AlarmEvent::Kind::actionFailed);
    host.offWorks = true;
    feed(160, 180);
    ASSERT_EQ(host.events.size(), 5u);
    EXPECT_TRUE(host.events[4].ok);
    EXPECT_EQ(host.events[4].done, (std::vector<std::string>{"off done (tried again)"}));
    EXPECT_EQ(host.performed, (std::vector<std::string>{"notify", "off", "off", "off"}));
}

namespace {

std::string scratchDir() {
    char tmpl[] = "/tmp/q7alarms.XXXXXX";
    return mkdtemp(tmpl) ? tmpl : "";
}

// Reaps until n events were recorded, for ten seconds at most.
bool eventsReach(AlarmEngine& engine, const Recorded& host, std::size_t n) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (host.events.size() < n && std::chrono::steady_clock::now() < end) {
        engine.reap(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return host.events.size() >= n;
}

} // namespace

TEST_F(Engine, ACommandRunsWithTheEventInItsEnvironmentAndOneThatFailsIsAnEvent) {
    const std::string dir = scratchDir();
    const std::string script = dir + "/hook", out = dir + "/seen";
    std::ofstream(script) << "#!/bin/sh\necho \"$Q7_RULE $Q7_LINE $Q7_ID $Q7_PV $Q7_SV\" >> " << out
                          << "\nexit 3\n";
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    use("pv > 150", "command " + script + " ignored-argument");
    feed(160.25, 1);
    ASSERT_TRUE(eventsReach(*engine, host, 2));
    std::stringstream seen;
    seen << std::ifstream(out).rdbuf();
    EXPECT_EQ(seen.str(), "r COM1 1 160.3 100\n");
    EXPECT_EQ(host.events[1].kind, AlarmEvent::Kind::actionFailed);
    EXPECT_EQ(host.events[1].done,
              (std::vector<std::string>{"command " + script + " exited with status 3"}));
    // A command that ended badly was not carried out: it runs again at the
    // rule's next firing.
    feed(160.25, 60);
    ASSERT_TRUE(eventsReach(*engine, host, 4));
    EXPECT_NE(host.events[2].done[0].find("started (pid"), std::string::npos);
    EXPECT_NE(host.events[2].done[0].find("(tried again)"), std::string::npos);
    std::stringstream twice;
    twice << std::ifstream(out).rdbuf();
    EXPECT_EQ(twice.str(), "r COM1 1 160.3 100\nr COM1 1 160.3 100\n");
    std::filesystem::remove_all(dir);
}

// One command at a time per rule, controller and action: a rule's two
// commands both run, and so does its command on each controller it fires
// on; each is killed at its limit, with what it started.
TEST_F(Engine, OneCommandRunsAtATimePerRuleControllerAndActionAndIsKilledAtItsLimit) {
    use("pv > 150", "command /bin/sleep 1000, command /bin/sleep 999");
    feed(160, 1); // controller 1 starts both
    AlarmObservation two = at(160);
    two.id = 2;
    engine->observe(two); // controller 2 a second later: its own
    ASSERT_EQ(host.events.size(), 2u);
    for (const AlarmEvent& e : host.events) {
        EXPECT_TRUE(e.ok) << e.text();
        ASSERT_EQ(e.done.size(), 2u);
        for (const std::string& d : e.done)
            EXPECT_NE(d.find("started (pid"), std::string::npos) << d;
    }
    using Key = CommandRunner::Key;
    for (int id : {1, 2})
        for (std::size_t action : {0u, 1u})
            EXPECT_TRUE(engine->commands().running(Key{"r", "COM1", id, action})) << id << action;
    clock.advance(28);
    engine->reap(0);
    EXPECT_TRUE(engine->commands().running(Key{"r", "COM1", 1, 0}));
    clock.advance(1); // controller 1's 30 s on the line clock are over
    ASSERT_TRUE(eventsReach(*engine, host, 4));
    for (std::size_t i : {2u, 3u}) {
        EXPECT_EQ(host.events[i].kind, AlarmEvent::Kind::actionFailed);
        EXPECT_EQ(host.events[i].id, 1);
        EXPECT_NE(host.events[i].done[0].find("killed after 30 s"), std::string::npos);
    }
    EXPECT_FALSE(engine->commands().running(Key{"r", "COM1", 1, 1}));
    clock.advance(1);
    ASSERT_TRUE(eventsReach(*engine, host, 6));
    EXPECT_FALSE(engine->commands().running(Key{"r", "COM1", 2, 0}));
}
