// The run engine on the virtual clock against fake controllers: how SV
// follows the plan (steps of a digit, min_write, the controller's own ramp),
// hold-back over several zones, start from PV, a hand change, the ends of a
// run, a resumed run, live changes, and a repeated span's cycles.
#include "fake_zone.h"
#include "runs/run_engine.h"
#include "runs/run_order.h"

#include <gtest/gtest.h>

namespace {

FiringProgram program(const std::string& segments, const std::string& keys = "start = 20\n") {
    auto p =
        parseFiringProgram("[program]\nname = t\nunit = C\n" + keys + "[segments]\n" + segments);
    if (auto* e = std::get_if<ProgramError>(&p)) {
        ADD_FAILURE() << e->line << ": " << e->why;
        return {};
    }
    return std::get<FiringProgram>(p);
}

std::shared_ptr<FakeKiln> kiln(int digits = 1, bool ramp = false) {
    auto k = std::make_shared<FakeKiln>();
    k->facts.digits = digits;
    k->facts.lo = -100;
    k->facts.hi = 1200;
    k->facts.hasRamp = ramp;
    k->facts.rampUnitSeconds = 60;
    return k;
}

class Engine : public ::testing::Test {
  protected:
    void make(const FiringProgram& p, std::vector<std::shared_ptr<FakeKiln>> zones,
              std::vector<double> offsets = {}, const RunState* resumed = nullptr) {
        kilns = zones;
        std::vector<EngineZone> ez;
        for (std::size_t i = 0; i < zones.size(); ++i)
            ez.push_back({std::make_unique<FakeZone>(zones[i]), "COM1", int(i + 1),
                          i < offsets.size() ? offsets[i] : 0.0});
        RunOptions o;
        o.wallNow = 0;
        engine = resumed ? std::make_unique<RunEngine>(p, *resumed, std::move(ez), o)
                         : std::make_unique<RunEngine>(p, "text", std::move(ez), o);
        engine->addListener(&told);
        const std::string why = engine->open();
        ASSERT_EQ(why, "");
    }
    // A poll every second for that long, or until the run ends.
    void run(double seconds) {
        for (double t = 0; t < seconds && !engine->ended(); t += 1) {
            engine->tick();
            if (!engine->ended()) clock.advance(1);
        }
    }
    double now() { return std::chrono::duration<double>(clock.now().time_since_epoch()).count(); }

    VirtualClock clock;
    Told told;
    std::vector<std::shared_ptr<FakeKiln>> kilns;
    std::unique_ptr<RunEngine> engine;
};

} // namespace

TEST_F(Engine, StepsOfOneDigitNoOftenerThanMinWriteAndTheTargetAtTheSegmentsEnd) {
    // 0.1 °C a second: a digit a second, written every 30 s, and the
    // target at 100 s although only 10 s passed since the step before.
    make(program("360 30 0:00\n", "start = 20\nmin_write = 30\nend = hold\n"), {kiln(1)});
    run(200);
    EXPECT_EQ(kilns[0]->writes,
              (std::vector<std::string>{"mode on", "sv 23.0", "sv 26.0", "sv 29.0", "sv 30.0"}));
    EXPECT_EQ(kilns[0]->writeTimes, (std::vector<double>{0, 30, 60, 90, 100}));
    EXPECT_EQ(engine->state().outcome, RunOutcome::completed);
    EXPECT_EQ(engine->state().writes, 5);

    // Whole degrees: a step as the plan passes each half (20.5 at 100 s).
    make(program("18 22 0:00\n", "start = 20\nend = hold\n"), {kiln(0)});
    const double t0 = now();
    run(1000);
    EXPECT_EQ(kilns[0]->writes, (std::vector<std::string>{"mode on", "sv 21", "sv 22"}));
    EXPECT_EQ(kilns[0]->writeTimes, (std::vector<double>{t0, t0 + 100, t0 + 300}));
}

TEST_F(Engine, AControllersOwnRampTakesARampInTwoWritesAndGetsItsRateBack) {
    auto k = kiln(1, true);
    k->rampRate = 2.5; // the operator's, before the run
    // 600 °C/h is 10.0 a minute; 20 °C/h would be 0.3 for 0.333: stepped, ramp off.
    make(program("600 120 0:00\n20 121 0:00\n", "start = 20\nend = hold\n"), {k});
    run(2000);
    const std::vector<std::string> want{"rate 10.0", "sv 120.0", "mode on",  "rate 0.0",
                                        "sv 120.1",  "sv 120.2", "sv 120.3", "sv 120.4",
                                        "sv 120.5",  "sv 120.6", "sv 120.7", "sv 120.8",
                                        "sv 120.9",  "sv 121.0", "rate 2.5"};
    EXPECT_EQ(k->writes, want);
    EXPECT_EQ(k->writeTimes[3], 600); // the ramp's end, on the plan's time
    EXPECT_EQ(engine->state().outcome, RunOutcome::completed);
}

TEST_F(Engine, HoldBackWaitsForTheSlowestZoneAndTellsWhichAndHowLong) {
    auto slow = kiln(1);
    slow->followSv = false;
    slow->pv = 25;
    make(program("360 30 0:00\n", "start = 20\nholdback = 5\nend = hold\n"), {kiln(1), slow},
         {0, 10});
    run(50);
    // Zone 2 runs 10 above the plan; at 25 it lags more than 5 as soon as the plan climbs.
    EXPECT_TRUE(engine->holdingBack());
    EXPECT_NEAR(engine->state().planClock, 1, 1e-9);
    ASSERT_EQ(told.texts(EventKind::holdBackStart).size(), 1u);
    EXPECT_EQ(told.texts(EventKind::holdBackStart)[0],
              "holding back for COM1 id 2: PV 25 °C, the plan 30.1 °C");
    for (double t : kilns[0]->writeTimes)
        EXPECT_LT(t, 2) << "nothing is stepped while the plan waits";
    // A zone that goes silent holds the plan too, and is told.
    slow->pv = 40;
    slow->silent = true;
    run(5);
    EXPECT_TRUE(engine->holdingBack());
    slow->silent = false;
    run(200);
    EXPECT_EQ(engine->state().outcome, RunOutcome::completed);
    EXPECT_EQ(told.texts(EventKind::silence),
              std::vector<std::string>{"COM1 id 2 does not answer"});
    EXPECT_EQ(told.texts(EventKind::answering),
              std::vector<std::string>{"COM1 id 2 answers again"});
    ASSERT_EQ(told.texts(EventKind::holdBackEnd).size(), 1u);
    EXPECT_EQ(told.texts(EventKind::holdBackEnd)[0],
              "goes on after 0:01 held back; segment 1 held back 0:01 in all");
    // Each zone ends at the target plus its offset.
    EXPECT_EQ(kilns[0]->writes.back(), "sv 30.0");
    EXPECT_EQ(slow->writes.back(), "sv 40.0");
    EXPECT_NEAR(engine->state().ended.value() - *engine->state().started, 100 + 54, 1.0);
}

TEST_F(Engine, AHoldBackNamesTheZoneItWaitsForWhenAnotherTakesItsPlace) {
    auto first = kiln(1), second = kiln(1);
    first->followSv = second->followSv = false;
    first->pv = second->pv = 20;
    make(program("360 40 0:00\n", "start = 20\nholdback = 5\nend = hold\n"), {first, second});
    run(60); // both lag as the plan reaches 25.1, and it waits there
    first->pv = 30;
    run(5);
    second->pv = 30;
    run(65); // the wait is over once the plan went on for a minute
    EXPECT_EQ(told.texts(EventKind::holdBackStart),
              (std::vector<std::string>{"holding back for COM1 id 1: PV 20 °C, the plan 25.1 °C",
                                        "holding back for COM1 id 2: PV 20 °C, the plan 25.1 °C"}));
    EXPECT_EQ(told.texts(EventKind::holdBackEnd).size(), 1u);
    EXPECT_FALSE(engine->holdingBack());
}

TEST_F(Engine, AWaitEndsWellInsideItsBandAndOneTooLongOrTooHotEndsTheRunAsTheProgramSays) {
    // A zone that lags by about the band waits once: the plan goes on once
    // it is inside half the band, or has stayed inside it for a minute.
    auto slow = kiln(1);
    slow->followSv = false;
    make(program("360 40 0:00\n", "start = 20\nholdback = 4\nend = hold\n"), {slow});
    for (int i = 0; i < 40; ++i) {
        slow->pv = engine->plannedSv() - (i % 2 ? 4.5 : 3.5);
        run(1);
    }
    EXPECT_EQ(told.texts(EventKind::holdBackStart).size(), 1u);
    EXPECT_TRUE(engine->holdingBack());
    slow->pv = engine->plannedSv() - 3;
    run(59);
    EXPECT_TRUE(engine->holdingBack());
    run(2);
    EXPECT_FALSE(engine->holdingBack());
    // Behind again at once: the same wait, over a minute after the plan went on.
    slow->pv = engine->plannedSv() - 4.5;
    run(1);
    EXPECT_TRUE(engine->holdingBack());
    slow->followSv = true;
    run(59);
    EXPECT_EQ(told.texts(EventKind::holdBackEnd).size(), 0u);
    run(5);
    EXPECT_EQ(told.texts(EventKind::holdBackStart).size(), 1u);
    EXPECT_EQ(told.texts(EventKind::holdBackEnd).size(), 1u);

    // max_holdback: past it in one segment, the run ends as its end says
    // (hold), or with `hold` it pauses; the alarm names the zone.
    for (const char* then : {"", " hold"}) {
        told.events.clear();
        auto weak = kiln(1);
        weak->followSv = false;
        make(program("360 100 0:00\n",
                     std::string("start = 20\nholdback = 5\nend = hold\nmax_holdback = 0:02") +
                         then + "\n"),
             {kiln(1), weak});
        run(60);
        ASSERT_TRUE(engine->holdBack());
        EXPECT_EQ(engine->holdBack()->zone, 1u);
        run(200);
        const std::string alarm =
            "failed to reach temperature: COM1 id 2: PV 20 °C, the plan 25.1 °C, after 0:02 held "
            "back in segment 1";
        EXPECT_EQ(told.texts(EventKind::alarm), std::vector<std::string>{alarm});
        if (*then) {
            EXPECT_EQ(engine->state().phase, RunPhase::paused);
            EXPECT_EQ(engine->state().pauseReason, alarm);
        } else {
            EXPECT_EQ(engine->state().outcome, RunOutcome::failed);
            EXPECT_EQ(weak->writes.back(), "sv 25.1") << "end = hold keeps the plan's SV";
        }
    }

    // A PV above max_temp twice in a row ends the run with the controllers
    // Off, though its end says hold; one reading above it does not.
    told.events.clear();
    auto hot = kiln(1);
    hot->followSv = false;
    make(program("360 100 0:00\n", "start = 20\nend = hold\nmax_temp = 150\n"), {hot});
    hot->pv = 151;
    run(1);
    hot->pv = 30;
    run(1);
    EXPECT_FALSE(engine->ended());
    hot->pv = 150.5;
    run(3);
    EXPECT_EQ(engine->state().outcome, RunOutcome::failed);
    EXPECT_EQ(told.texts(EventKind::alarm),
              std::vector<std::string>{"over temperature: COM1 id 1 at 150.5 °C, above max_temp "
                                       "150 °C"});
    EXPECT_EQ(hot->writes.back(), "mode off");
}

TEST_F(Engine, StartFromPvBeginsWhereTheKilnIsInTheControllersUnit) {
    auto k = kiln(0);
    k->facts.unit = TemperatureUnit::fahrenheit;
    k->facts.hi = 2000;
    k->followSv = false;
    k->pv = 428; // 220 °C: past the first target
    make(program("100 200 0:10\n100 300 0:00\n", "start = pv\n"), {k});
    run(1);
    EXPECT_EQ(k->writes, (std::vector<std::string>{"sv 428", "mode on"}));
    EXPECT_EQ(told.texts(EventKind::start),
              std::vector<std::string>{"started in segment 2 of 2 at 220 °C, 0:48 to go"});
    EXPECT_EQ(engine->state().segment, 1);
}

TEST_F(Engine, AHandChangePausesTheRunWhichWritesNothingUntilToldToGoOn) {
    make(program("360 30 0:00\n", "start = 20\nend = hold\n"), {kiln(1)});
    run(25);
    ASSERT_EQ(kilns[0]->writes.back(), "sv 22.0");
    kilns[0]->svSetting = 50;
    run(20);
    EXPECT_EQ(engine->state().phase, RunPhase::paused);
    EXPECT_EQ(
        told.texts(EventKind::operatorChange),
        std::vector<std::string>{"COM1 id 1: SV set to 50.0 by hand; the run had written 22.0"});
    EXPECT_EQ(kilns[0]->writes.back(), "sv 22.0");
    EXPECT_NEAR(engine->state().planClock, 24, 1e-9); // the change was seen before it moved
    engine->proceed();
    EXPECT_EQ(kilns[0]->writes.back(), "sv 22.4");
    kilns[0]->mode = ZoneMode::off;
    run(3);
    EXPECT_EQ(engine->state().pauseReason, "COM1 id 1: switched Off by hand");
    engine->proceed();
    EXPECT_EQ(kilns[0]->writes.back(), "mode on");
    run(200);
    EXPECT_EQ(engine->state().outcome, RunOutcome::completed);
    EXPECT_EQ(told.kinds().back(), "end");
}

TEST_F(Engine, EndsDoWhatTheProgramSaysAndARefusalFailsTheRun) {
    auto k = kiln(1, true);
    k->rampRate = 2.5;
    make(program("600 120 0:00\n", "start = 20\nend = sv 200\n"), {k});
    run(60);
    engine->stop();
    EXPECT_EQ(engine->state().outcome, RunOutcome::stopped);
    EXPECT_EQ(k->writes, (std::vector<std::string>{"rate 10.0", "sv 120.0", "mode on", "rate 2.5",
                                                   "sv 200.0"}));
    EXPECT_EQ(told.texts(EventKind::end).back().rfind("stopped; 0:01 after the start, 5 writes", 0),
              0u)
        << told.texts(EventKind::end).back();

    // Hold: where the plan stood; the pause's SV stays the operator's.
    make(program("360 30 0:00\n", "start = 20\nend = hold\n"), {kiln(1)});
    run(45);
    engine->stop();
    EXPECT_EQ(kilns[0]->writes.back(), "sv 24.4");

    make(program("360 30 0:00\n", "start = 20\nend = off\n"), {kiln(1)});
    run(15);
    kilns[0]->refuseSv = true;
    run(10);
    EXPECT_EQ(engine->state().outcome, RunOutcome::failed);
    EXPECT_EQ(kilns[0]->writes.back(), "mode off");
    EXPECT_EQ(told.texts(EventKind::writeFailed).back(),
              "COM1 id 1: SV 22.0 was refused (exception 03)");

    // A poll late enough to pass the last segments and the end records
    // each segment begun, and leaves the last target.
    told = {};
    make(program("600 30 0:00\nfull 40 0:00\n-600 35 0:00\n", "start = 20\nend = hold\n"),
         {kiln(1)});
    engine->tick();
    clock.advance(3600);
    engine->tick();
    EXPECT_EQ(engine->state().outcome, RunOutcome::completed);
    EXPECT_EQ(told.kinds(), (std::vector<std::string>{"start", "segment", "segment", "end"}));
    EXPECT_EQ(kilns[0]->writes.back(), "sv 35.0");
}

TEST_F(Engine, AResumedRunGoesOnFromThePlansPointThatMatchesPv) {
    auto k = kiln(1, true);
    k->rampRate = 2.5;
    const FiringProgram p = program("600 120 1:00\n-600 20 0:00\n", "start = 20\nholdback = 5\n");
    make(p, {k});
    run(600 + 1200); // 20 minutes into the hold
    ASSERT_EQ(engine->state().segment, 0);
    const RunState stored = engine->state();
    engine.reset(); // killed: nothing written back
    EXPECT_EQ(k->rampRate, 10.0);

    Told first = told;
    told = Told();
    make(p, {k}, {}, &stored);
    run(1);
    EXPECT_EQ(
        told.texts(EventKind::resume),
        std::vector<std::string>{"resumed in segment 1 of 2 at 120 °C, 0:50 to go; PV 120 °C"});
    // The kiln cooled to 100 during the outage: the ramp again from there.
    k->followSv = false;
    k->pv = 100;
    const RunState again = engine->state();
    engine.reset();
    told = Told();
    make(p, {k}, {}, &again);
    run(1);
    EXPECT_EQ(
        told.texts(EventKind::resume),
        std::vector<std::string>{"resumed in segment 1 of 2 at 100 °C, 1:12 to go; PV 100 °C"});
    // The ramp starts at PV, its controller's ramp off meanwhile, then on at 10.0.
    EXPECT_EQ(std::vector<std::string>(k->writes.end() - 4, k->writes.end()),
              (std::vector<std::string>{"rate 0.0", "sv 100.0", "rate 10.0", "sv 120.0"}));
    engine->stop();
    EXPECT_EQ(k->writes.back(), "mode off");
    EXPECT_EQ(*(k->writes.end() - 2), "rate 2.5"); // the rate from before the first run

    // Stopped before its first poll, a resumed run still ends as its program
    // says: the driver that was lost left the kiln on.
    k->mode = ZoneMode::on;
    k->writes.clear();
    make(p, {k}, {}, &again);
    engine->stop();
    EXPECT_EQ(k->writes, std::vector<std::string>{"mode off"});
}

TEST_F(Engine, ASkipEndsTheSegmentNowAndAHoldIsLengthenedOrShortenedWithinWhatItCanBe) {
    // Each ramp 10 °C at 360 °C/h: 100 s; holds of 10 and 20 minutes.
    make(program("360 30 0:10\n360 40 0:20\n360 50 0:00\n", "start = 20\nend = hold\n"), {kiln(1)});
    run(50);
    ASSERT_EQ(engine->state().segment, 0);
    const double before = engine->secondsToGo();
    EXPECT_EQ(engine->extendHold(30 * 60, "test"), "");
    EXPECT_DOUBLE_EQ(engine->secondsToGo(), before + 1800);
    ASSERT_EQ(told.texts(EventKind::change).size(), 1u);
    EXPECT_EQ(told.texts(EventKind::change)[0],
              "segment 1's hold extended by 0:30 by test: 0:10 to 0:40; " +
                  hoursMinutes(engine->secondsToGo()) + " to go");
    // The record keeps the program as it runs now.
    EXPECT_NE(engine->state().programText.find("360 30 0:40"), std::string::npos);
    EXPECT_EQ(engine->extendHold(-60 * 60, "test"),
              "segment 1 has held 0:00 of its 0:40: its hold can be shortened by at most 0:40");
    EXPECT_EQ(engine->extendHold(999 * 3600 + 30 * 60, "test"),
              "segment 1's hold would be 1000:10, and a program line holds at most 999:59");

    // A skip on the ramp writes its target at once and leaves its hold out.
    const double skipped = engine->secondsToGo();
    const double t = now();
    EXPECT_EQ(engine->skipSegment("test"), "");
    EXPECT_EQ(engine->state().segment, 1);
    EXPECT_EQ(kilns[0]->writes.back(), "sv 30.0");
    EXPECT_EQ(kilns[0]->writeTimes.back(), t);
    EXPECT_NEAR(engine->secondsToGo(), skipped - 50 - 2400, 1.01);
    EXPECT_EQ(
        told.texts(EventKind::change)
            .back()
            .rfind("segment 1 skipped by test: its ramp ends at once at 30 °C, its hold of 0:40 "
                   "left out; ",
                   0),
        0u);
    EXPECT_EQ(told.texts(EventKind::segment).back().rfind("segment 2 of 3", 0), 0u);

    // In segment 2's hold, 0:05 held: shortened by 0:10, not by 0:20.
    run(100 + 300);
    ASSERT_EQ(engine->state().segment, 1);
    EXPECT_EQ(engine->extendHold(-20 * 60, "test"),
              "segment 2 has held 0:05 of its 0:20: its hold can be shortened by at most 0:15");
    EXPECT_EQ(engine->extendHold(-10 * 60, "test"), "");
    EXPECT_EQ(told.texts(EventKind::change)
                  .back()
                  .rfind("segment 2's hold shortened by 0:10 by test: 0:20 to 0:10; ", 0),
              0u);
    EXPECT_EQ(engine->skipSegment("test"), "");
    EXPECT_EQ(told.texts(EventKind::change)
                  .back()
                  .rfind("segment 2 skipped by test: its hold ends 0:05 early; 0:02 to go", 0),
              0u);

    // Nothing to skip to from the last segment; a paused run is not skipped on.
    EXPECT_EQ(engine->skipSegment("test"),
              "segment 3 is the program's last: there is none to skip to");
    engine->pause("by hand");
    EXPECT_EQ(engine->skipSegment("test"), "the run is paused (by hand): go on with it first");
    EXPECT_EQ(engine->extendHold(60, "test"), "");
    engine->proceed();
    run(1000);
    EXPECT_EQ(engine->state().outcome, RunOutcome::completed);
    EXPECT_EQ(engine->skipSegment("test"), "the run has ended");
}

TEST_F(Engine, ATargetOrARateChangesAsTheProgramLineWouldTakeItFromWhereThePlanIs) {
    // 10 °C at 360 °C/h: 100 s, then a hold of 10 minutes.
    make(program("360 30 0:10\n360 40 0:20\n360 50 0:00\n",
                 "start = 20\nend = hold\nmax_temp = 60\n"),
         {kiln(1)});
    run(50); // at 25 on the first ramp
    double before = engine->secondsToGo();
    EXPECT_EQ(engine->changeRate(720, "test"), "");
    EXPECT_NEAR(engine->secondsToGo(), before - 25, 1.01);
    EXPECT_EQ(told.texts(EventKind::change).back(),
              "segment 1's rate changed by test: 360 °C/h to 720 °C/h; " +
                  hoursMinutes(engine->secondsToGo()) + " to go");
    // Refused in the reader's words, the segment named, nothing changed.
    EXPECT_EQ(engine->changeTarget(70, "test"), "segment 1: the target 70 is above max_temp 60");
    EXPECT_EQ(engine->changeTarget(45, "test"),
              "segment 2: the rate 360 climbs, but 40 is below the 45 before it: a cool takes a "
              "negative rate");
    EXPECT_EQ(engine->changeRate(-100, "test"),
              "segment 1: the rate -100 cools, but 30 is above the 20 before it");
    EXPECT_EQ(engine->changeRate(0, "test"),
              "segment 1: the rate takes degrees per hour (-99999 to 99999, not 0; negative "
              "cools) or full, not '0'");
    // The ramp goes on from the plan's 25, which a target below it would undo.
    EXPECT_EQ(
        engine->changeTarget(22, "test").rfind("the rate 720 climbs, but 22 is below the 2", 0),
        0u);
    EXPECT_EQ(told.texts(EventKind::change).size(), 1u);

    before = engine->secondsToGo();
    EXPECT_EQ(engine->changeTarget(35, "test"), "");
    // Its ramp 25 s longer, segment 2's 50 s shorter.
    EXPECT_NEAR(engine->secondsToGo(), before - 25, 0.01);
    EXPECT_EQ(told.texts(EventKind::change)
                  .back()
                  .rfind("segment 1's target changed by test: 30 °C to 35 °C; ", 0),
              0u);
    EXPECT_NE(engine->state().programText.find("720 35 0:10"), std::string::npos);

    // In the hold, 0:05 of it held: no rate; a new target is written at
    // once and held for what is left of the hold.
    run(50 + 300);
    ASSERT_EQ(engine->state().segment, 0);
    EXPECT_EQ(engine->changeRate(360, "test"),
              "segment 1 holds at 35 °C: a hold has no rate to change");
    before = engine->secondsToGo();
    EXPECT_EQ(engine->changeTarget(32, "test"), "");
    EXPECT_EQ(kilns[0]->writes.back(), "sv 32.0");
    EXPECT_NEAR(engine->secondsToGo(), before + 30, 0.01); // segment 2 climbs 3 °C more
    run(400);
    EXPECT_EQ(engine->state().segment, 1);

    engine->pause("by hand");
    EXPECT_EQ(engine->changeTarget(38, "test"), "the run is paused (by hand): go on with it first");
}

TEST_F(Engine, ARepeatRunsItsCyclesAndASkipOrAResumeKeepsToTheCycleItIsIn) {
    // 8 min up to 100; then 2 and 3 (up to 200 and down to 100, 0:10 each
    // at the top and the bottom) three times; 8 min down.
    const FiringProgram p = program("600 100 0:00\n600 200 0:10\n-600 100 0:10\n-600 20 0:00\n",
                                    "start = 20\nrepeat = 2-3 x 3\n");
    const auto cycle = [&] { return cycleText(p, engine->currentStep()); };
    make(p, {kiln(1)});
    run(480 + 2 * 1200 + 120); // on segment 2's ramp in the second cycle
    EXPECT_EQ(engine->state().segment, 1);
    EXPECT_EQ(cycle(), "cycle 2 of 3");
    EXPECT_EQ(
        told.texts(EventKind::segment),
        (std::vector<std::string>{"segment 2 of 4: 600 °C/h to 200 °C, hold 0:10, cycle 1 of 3",
                                  "segment 3 of 4: -600 °C/h to 100 °C, hold 0:10, cycle 1 of 3",
                                  "segment 2 of 4: 600 °C/h to 200 °C, hold 0:10, cycle 2 of 3"}));

    // Killed and taken up again: in the cycle it was in, not the first.
    const RunState stored = engine->state();
    engine.reset();
    told = Told();
    make(p, {kilns[0]}, {}, &stored);
    run(1);
    ASSERT_EQ(told.texts(EventKind::resume).size(), 1u);
    EXPECT_EQ(
        told.texts(EventKind::resume)[0].rfind("resumed in segment 2 of 4, cycle 2 of 3, at ", 0),
        0u);
    EXPECT_EQ(cycle(), "cycle 2 of 3");

    // A skip goes on in the cycle, and from its last segment to the next cycle's first.
    EXPECT_EQ(engine->skipSegment("test"), "");
    EXPECT_EQ(
        told.texts(EventKind::change)
            .back()
            .rfind("segment 2 in cycle 2 of 3 skipped by test: its ramp ends at once at 200 °C", 0),
        0u);
    EXPECT_EQ(engine->state().segment, 2);
    EXPECT_EQ(cycle(), "cycle 2 of 3");
    EXPECT_EQ(engine->skipSegment("test"), "");
    EXPECT_EQ(engine->state().segment, 1);
    EXPECT_EQ(cycle(), "cycle 3 of 3");
    // A longer hold in the last cycle makes the rest of the plan just that much longer.
    const double toGo = engine->secondsToGo();
    EXPECT_EQ(engine->extendHold(600, "test"), "");
    EXPECT_NEAR(engine->secondsToGo(), toGo + 600, 1e-6);

    run(10000);
    EXPECT_EQ(engine->state().outcome, RunOutcome::completed);
    const auto begun = told.texts(EventKind::segment);
    ASSERT_EQ(begun.size(), 4u); // 3 of the second cycle, 2 and 3 of the third, then 4
    EXPECT_EQ(begun.back(), "segment 4 of 4: -600 °C/h to 20 °C, hold 0:00");
}
