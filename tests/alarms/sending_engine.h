#pragma once
// What the tests of the sending actions share: a listener of the test's own
// on loopback that logs what it took as JSON lines, an engine whose host
// keeps the events, a reading of COM1 id 1, and the wait for the failed
// action a send given up on becomes.
#include "alarms/alarm_engine.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <unistd.h>

inline void observeCom1(AlarmEngine& engine, double pv, double seconds) {
    AlarmObservation o;
    o.at = Clock::TimePoint{} + std::chrono::seconds(long(seconds));
    o.wall = 1.7e9 + seconds;
    o.line = "COM1";
    o.id = 1;
    o.pv = pv;
    o.sv = 100;
    engine.observe(o);
}

// Reaps until an event of a failed action comes (30 s at most).
template <class Host> const AlarmEvent* failedAction(AlarmEngine& engine, const Host& host) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        engine.reap(1.7e9);
        for (const AlarmEvent& e : host.events)
            if (e.kind == AlarmEvent::Kind::actionFailed) return &e;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return nullptr;
}

class EventsKept final : public AlarmActions {
  public:
    ActionResult perform(const AlarmEvent&, const AlarmAction&) override { return {true, "done"}; }
    void record(const AlarmEvent& e) override { events.push_back(e); }
    std::vector<AlarmEvent> events;
};

class SendingTest : public ::testing::Test {
  protected:
    explicit SendingTest(const std::string& name) : name_(name) {}
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("q7_" + name_ + "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        log = (dir / (name_ + ".jsonl")).string();
    }
    void TearDown() override {
        listener.reset();
        std::filesystem::remove_all(dir);
    }
    // Starts the listener script with the log and `args`; its port.
    int startListener(const char* script, const std::vector<std::string>& args) {
        std::vector<std::string> command{"/usr/bin/python3", script, log};
        command.insert(command.end(), args.begin(), args.end());
        listener = std::make_unique<ChildProcess>(command, true);
        const std::string port = listener->firstLine(std::chrono::seconds(20));
        EXPECT_FALSE(port.empty());
        return port.empty() ? 0 : std::stoi(port);
    }
    // What the listener logged, once there are n entries (30 s at most).
    std::vector<QJsonObject> logged(std::size_t n) {
        std::vector<QJsonObject> out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (out.size() < n && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            out.clear();
            std::ifstream in(log);
            for (std::string line; std::getline(in, line);)
                out.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
        }
        return out;
    }
    // The engine of one rule, `[rule hot]` when PV passes 100, doing `actions`.
    void useRule(const std::string& actions, NotifyLimits limits) {
        auto r = parseAlarmRules("[rule hot]\nwhen = pv > 100\ndo = " + actions + "\n", "t.conf");
        ASSERT_TRUE(std::holds_alternative<AlarmRules>(r)) << std::get<std::string>(r);
        engine =
            std::make_unique<AlarmEngine>(std::get<AlarmRules>(r), host, CommandLimits{}, limits);
    }
    void observe(double pv, double seconds) { observeCom1(*engine, pv, seconds); }
    const AlarmEvent* failed() { return failedAction(*engine, host); }

    std::filesystem::path dir;
    std::string log;
    std::unique_ptr<ChildProcess> listener;
    EventsKept host;
    std::unique_ptr<AlarmEngine> engine;

  private:
    std::string name_;
};
