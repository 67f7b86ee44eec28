// The bridge's rules on a virtual clock: a scripted line in the session's
// place, whose every request costs the time it would, and a recorder in the
// broker's. Minutes of polling pass in milliseconds.
#include "alarms/alarm_host.h"
#include "base/clock.h"
#include "serve/bridge.h"
#include "serve/inbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

namespace {

using namespace std::chrono;

class VirtualClock : public Clock {
  public:
    TimePoint now() override { return now_; }
    void sleepUntil(TimePoint t) override { now_ = std::max(now_, t); }
    void advance(double s) { now_ += duration_cast<TimePoint::duration>(duration<double>(s)); }
    double since(TimePoint t) const { return duration<double>(now_ - t).count(); }

  private:
    TimePoint now_{hours(1)};
};

// Controllers that answer as told, each request taking its time.
class ScriptedLine : public BridgeLine {
  public:
    struct Controller {
        bool answers = true;
        std::string fault = "no reply"; // what comes back when it does not answer
        bool parametersFail = false;
    };
    explicit ScriptedLine(VirtualClock& clock) : clock_(clock) {}

    Reading poll(int id) override {
        const Controller& c = controllers[id];
        calls.push_back("poll " + std::to_string(id));
        polled[id].push_back(clock_.now());
        Reading r;
        if (!c.answers) {
            clock_.advance(silentCost);
            r.why = c.fault;
            return r;
        }
        clock_.advance(pollCost);
        r.answered = true;
        r.pv = 25.0;
        r.sv = 30.0;
        r.unit = "°C";
        r.decimals = 1;
        return r;
    }
    std::optional<std::vector<Parameter>> readParameters(int id, std::string* why) override {
        const Controller& c = controllers[id];
        calls.push_back("parameters " + std::to_string(id));
        clock_.advance(1.5);
        if (!c.answers || c.parametersFail) {
            *why = "no good reply for Lo";
            return std::nullopt;
        }
        return std::vector<Parameter>{{"lo_limit", "Lo", "0.0", "0.0", "°C"},
                                      {"hi_limit", "Hi", "800.0", "800.0", "°C"}};
    }
    SettingResult set(int id, Setting, double value) override {
        calls.push_back("set " + std::to_string(id));
        clock_.advance(0.2);
        SettingResult r;
        r.ok = true;
        r.holds = value;
        return r;
    }

    std::map<int, Controller> controllers;
    double pollCost = 0.1, silentCost = 2.1;
    std::vector<std::string> calls;
    std::map<int, std::vector<Clock::TimePoint>> polled;

  private:
    VirtualClock& clock_;
};

struct Sent {
    std::string topic, payload;
    bool retain;
    Clock::TimePoint at;
};

class Recorder : public BrokerLink {
  public:
    explicit Recorder(VirtualClock& clock) : clock_(clock) {}
    bool handle(const BrokerEvent& e) override {
        return e.kind == BrokerEvent::Kind::connected && e.code == 0;
    }
    void subscribe(const std::string& topic) override { subscribed.push_back(topic); }
    void unsubscribe(const std::string&) override {}
    void publish(std::string topic, std::string payload, bool retain) override {
        sent.push_back({std::move(topic), std::move(payload), retain, clock_.now()});
    }
    std::vector<Sent> on(const std::string& topic) const {
        std::vector<Sent> out;
        for (const Sent& s : sent)
            if (s.topic == topic) out.push_back(s);
        return out;
    }
    std::vector<Sent> sent;
    std::vector<std::string> subscribed;

  private:
    VirtualClock& clock_;
};

class BridgeRules : public ::testing::Test {
  protected:
    void TearDown() override { setLineClock(nullptr); }

    void start(int controllers, const std::string& ha = "no") {
        setLineClock(&clock);
        config.broker.host = "127.0.0.1";
        config.broker.homeAssistant = ha == "yes";
        LineConfig l;
        l.name = "furnace";
        l.port = "/dev/null";
        for (int id = 1; id <= controllers; ++id)
            l.ids.push_back(id);
        l.writes = {Setting::sv};
        if (runs) l.writes = {Setting::sv, Setting::mode};
        l.runs = runs;
        config.lines = {l};
        auto rules = chooseAlarmRules(config.broker.alarms);
        ASSERT_TRUE(std::holds_alternative<AlarmRules>(rules));
        bridge = std::make_unique<Bridge>(
            config, 0, line, broker, [&](const std::string& t) { log.push_back(t); },
            std::get<AlarmRules>(std::move(rules)));
        began = clock.now();
    }
    // Turns until `seconds` more have passed on the line's clock.
    void runFor(double seconds) {
        const auto end =
            clock.now() + duration_cast<Clock::TimePoint::duration>(duration<double>(seconds));
        while (clock.now() < end)
            if (const auto until = bridge->turn()) clock.sleepUntil(std::min(*until, end));
    }
    // Turns until the line has been asked `call` once more.
    void runUntilCall(const std::string& call) {
        const auto seen = [&] { return std::count(line.calls.begin(), line.calls.end(), call); };
        const auto before = seen();
        for (int i = 0; i < 1000 && seen() == before; ++i)
            if (const auto until = bridge->turn()) clock.sleepUntil(*until);
    }
    void command(const std::string& topic, const std::string& payload) {
        bridge->handle({BrokerEvent::Kind::message, 0, topic, payload, false, false});
    }
    std::string last(const std::string& topic) const {
        const auto s = broker.on(topic);
        return s.empty() ? "" : s.back().payload;
    }
    int logged(const std::string& text) const {
        return int(std::count_if(log.begin(), log.end(), [&](const std::string& l) {
            return l.find(text) != std::string::npos;
        }));
    }

    bool runs = false; // the line takes run commands
    VirtualClock clock;
    ScriptedLine line{clock};
    Recorder broker{clock};
    ServeConfig config;
    std::unique_ptr<Bridge> bridge;
    std::vector<std::string> log;
    Clock::TimePoint began;
};

} // namespace

// Replies that all fail are no answer: two polls without a good one make
// the controller offline, with what came back; one does not.
TEST_F(BridgeRules, ControllerWithoutGoodRepliesIsOfflineAfterTwoPollsWithTheReason) {
    start(2);
    runFor(5);
    ASSERT_EQ(last("q7/furnace/2/available"), "online");
    line.controllers[2] = {false, "damaged reply"};
    runUntilCall("poll 2");
    EXPECT_EQ(last("q7/furnace/2/available"), "online");
    runUntilCall("poll 2");
    EXPECT_EQ(last("q7/furnace/2/available"), "offline");
    EXPECT_EQ(logged("furnace/2: offline: no good reply to 2 polls in a row (damaged reply)"), 1);
    EXPECT_EQ(last("q7/furnace/1/available"), "online");
    EXPECT_NE(last("q7/furnace/status")
                  .find("\"answering\":1,\"offline\":{\"2\":\"no good reply "
                        "to 2 polls in a row (damaged reply)\"}"),
              std::string::npos)
        << last("q7/furnace/status");
}

// Eight controllers on a line that dies: all are offline within seconds,
// not after two slow polls each.
TEST_F(BridgeRules, DeadLineTakesEveryControllerOfflineWithinFiveSeconds) {
    start(8);
    runFor(10);
    for (int id = 1; id <= 8; ++id)
        line.controllers[id].answers = false;
    const auto died = clock.now();
    runFor(30);
    for (int id = 1; id <= 8; ++id) {
        const auto sent = broker.on("q7/furnace/" + std::to_string(id) + "/available");
        ASSERT_EQ(sent.back().payload, "offline") << id;
        EXPECT_LE(duration<double>(sent.back().at - died).count(), 5.0) << id;
    }
    EXPECT_EQ(logged("every controller on it is offline"), 1);
    EXPECT_NE(last("q7/furnace/status").find("\"answering\":0"), std::string::npos);
}

// A stream of commands for one controller leaves the others' polls one
// command apart at most; parameter reads are made at most every 10 s.
TEST_F(BridgeRules, CommandsAndPollsTakeTurns) {
    start(2);
    runFor(3);
    for (int i = 0; i < 30; ++i)
        command("q7/furnace/1/set/sv", "30.0");
    line.polled.clear();
    runFor(20);
    // Polled once a second, each poll waiting one command (0.3 s) at most.
    const auto& polls = line.polled[2];
    for (std::size_t i = 1; i < polls.size(); ++i)
        EXPECT_LE(duration<double>(polls[i] - polls[i - 1]).count(), 1.0 + 2 * 0.3);
    EXPECT_EQ(std::count(line.calls.begin(), line.calls.end(), "set 1"), 30);

    line.calls.clear();
    command("q7/furnace/2/get/parameters", "");
    command("q7/furnace/2/get/parameters", "");
    runFor(5);
    command("q7/furnace/2/get/parameters", "");
    EXPECT_EQ(std::count(line.calls.begin(), line.calls.end(), "parameters 2"), 1);
    const auto results = broker.on("q7/furnace/2/result");
    ASSERT_EQ(results.size(), 3u);
    EXPECT_NE(results[0].payload.find("a read of them is waiting already"), std::string::npos);
    EXPECT_EQ(results[1].payload, "{\"command\":\"parameters\",\"ok\":true}");
    EXPECT_NE(results[2].payload.find("at most once every 10 s"), std::string::npos);
    runFor(10);
    command("q7/furnace/2/get/parameters", "");
    runFor(3);
    EXPECT_EQ(std::count(line.calls.begin(), line.calls.end(), "parameters 2"), 2);
}

// Eight controllers at an interval of 1 s on a line that needs 0.45 s for
// each: the real cycle is told once, and again when it changes; the state
// still goes out at least once a minute; Home Assistant hears of a
// thermostat once its limits are known, once.
TEST_F(BridgeRules, TellsTheRealCycleAndPublishesEachThingOnce) {
    line.pollCost = 0.45;
    line.controllers[1].parametersFail = true;
    start(8, "yes");
    runFor(30);
    EXPECT_EQ(
        logged(
            "line furnace: polling the 8 controllers every 3.6 s, not every 1.0 s as the interval "
            "asks: the line is too slow for it"),
        1);
    EXPECT_EQ(last("q7/furnace/status"),
              "{\"cycle\":3.6,\"interval\":1.0,\"controllers\":8,\"answering\":8,\"offline\":{}}");
    const std::string climate = "homeassistant/climate/q7_furnace_1/thermostat/config";
    EXPECT_TRUE(broker.on(climate).empty()) << "no limits yet";

    line.controllers[1].parametersFail = false;
    runFor(170);
    const auto configs = broker.on(climate);
    ASSERT_EQ(configs.size(), 1u);
    EXPECT_NE(configs[0].payload.find("\"min_temp\":0.0,\"max_temp\":800.0"), std::string::npos);
    EXPECT_NE(configs[0].payload.find("is not defined %}None{% elif"), std::string::npos);
    EXPECT_EQ(broker.on("homeassistant/climate/q7_furnace_2/thermostat/config").size(), 1u);
    // The thermostat's former topic is cleared, once.
    const auto former = broker.on("homeassistant/climate/q7_furnace_1/config");
    ASSERT_EQ(former.size(), 1u);
    EXPECT_EQ(former[0].payload, "");
    const auto states = broker.on("q7/furnace/1/state");
    ASSERT_GE(states.size(), 3u);
    for (std::size_t i = 1; i < states.size(); ++i)
        EXPECT_LE(duration<double>(states[i].at - states[i - 1].at).count(), 60.0);
    EXPECT_EQ(broker.on("q7/furnace/1/available").size(), 1u);

    line.pollCost = 0.05;
    runFor(10);
    EXPECT_EQ(logged("line furnace: polling the 8 controllers every 1.0 s"), 1);
    EXPECT_EQ(last("q7/furnace/status"),
              "{\"cycle\":1.0,\"interval\":1.0,\"controllers\":8,\"answering\":8,\"offline\":{}}");
}

// A reload takes ids away and adds others between two turns: a command
// waiting for a controller that is gone is never sent, the gone one's
// topics are cleared, and the new one is polled in the same cycle. An id
// added back is a controller seen afresh, for the alarm rules too.
TEST_F(BridgeRules, IdsChangedBetweenTwoTurns) {
    const std::string rules = ::testing::TempDir() + "ids_changed.conf";
    std::ofstream(rules) << "[rule warm]\nwhen = pv > 0\ndo = publish\n";
    config.broker.alarms = rules;
    start(3);
    runFor(5);
    ASSERT_NE(last("q7/furnace/3/state"), "");
    command("q7/furnace/3/set/sv", "40");
    bridge->changeIds({1, 2, 4});
    const std::size_t before = line.calls.size();
    runFor(5);
    const std::vector<std::string> after(line.calls.begin() + long(before), line.calls.end());
    EXPECT_EQ(std::count(after.begin(), after.end(), "set 3"), 0);
    EXPECT_EQ(std::count(after.begin(), after.end(), "poll 3"), 0);
    EXPECT_GE(std::count(after.begin(), after.end(), "poll 4"), 4);
    for (const char* leaf : {"state", "available", "parameters"})
        EXPECT_EQ(last(std::string("q7/furnace/3/") + leaf), "") << leaf;
    EXPECT_NE(last("q7/furnace/4/state"), "");
    EXPECT_NE(last("q7/furnace/status").find("\"controllers\":3,\"answering\":3"),
              std::string::npos)
        << last("q7/furnace/status");

    ASSERT_EQ(broker.on("q7/furnace/3/event").size(), 1u);
    bridge->changeIds({1, 2, 3, 4});
    runFor(5);
    EXPECT_EQ(broker.on("q7/furnace/3/event").size(), 2u);
    EXPECT_EQ(broker.on("q7/furnace/1/event").size(), 1u) << "a controller that stayed";
    EXPECT_TRUE(std::find(broker.subscribed.begin(), broker.subscribed.end(),
                          "q7/furnace/3/run/+") != broker.subscribed.end());
    std::remove(rules.c_str());
}

// A broker's access list grants a controller's topics: a run started on
// id 1's topic drives id 1, with others of its line or alone, never
// others alone.
TEST_F(BridgeRules, ARunStartedOnAnIdsTopicDrivesThatId) {
    runs = true;
    start(2);
    command("q7/furnace/1/run/start", "{\"program\":\"bisque\",\"zones\":\"2\"}");
    runFor(2);
    EXPECT_EQ(last("q7/furnace/1/result"),
              "{\"command\":\"run/start\",\"ok\":false,\"reason\":\"a run started on id 1's "
              "topic has id 1 among its zones; start it on the topic of one of them\"}");
    EXPECT_EQ(std::count(line.calls.begin(), line.calls.end(), "set 2"), 0);
}

// A flood of settings for id 2 drops only its own: id 1's run command
// keeps its place in the inbox and in the line's queue, and every command
// dropped is answered.
TEST_F(BridgeRules, AFloodDropsOnlyItsOwnCommandsAndEachDroppedOneIsAnswered) {
    runs = true;
    start(2);
    Inbox inbox;
    const auto post = [&](const std::string& topic, const std::string& payload) {
        inbox.post({BrokerEvent::Kind::message, 0, topic, payload, false, false});
    };
    for (int i = 0; i < 300; ++i)
        post("q7/furnace/2/set/sv", "30");
    post("q7/furnace/1/run/start", "{\"program\":\"bisque\",\"zones\":\"2\"}");
    const std::vector<BrokerEvent> taken = inbox.take();
    ASSERT_EQ(taken.size(), Inbox::kMaxMessages);
    EXPECT_EQ(taken.back().topic, "q7/furnace/1/run/start");
    for (const BrokerEvent& e : taken)
        bridge->handle(e);
    bridge->answerDropped(inbox.takeDropped());
    runFor(2);
    EXPECT_NE(last("q7/furnace/1/result").find("has id 1 among its zones"), std::string::npos)
        << last("q7/furnace/1/result");
    const auto results = broker.on("q7/furnace/2/result");
    // Past the 32 the line's queue holds, each is refused at once; those the
    // inbox dropped are answered together.
    const auto said = [&](const std::string& text) {
        return std::count_if(results.begin(), results.end(), [&](const Sent& r) {
            return r.payload.find(text) != std::string::npos;
        });
    };
    EXPECT_EQ(said("too many commands are waiting"), 255 - 32);
    EXPECT_EQ(said("\"reason\":\"dropped: more commands came in than the line can take (45 of "
                   "set/sv); nothing was sent\""),
              1);
    EXPECT_EQ(logged("45 command(s) dropped"), 1);
}
