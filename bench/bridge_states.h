#pragma once
// What the bridge benchmarks share: a result line, the simulated PVs that
// move between any two polls, and the states of each controller as a
// subscriber of the bridge's broker sees them.
#include "sim/sim_controller.h"

#include <mosquitto.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace bench {

inline void report(const char* what, double measured, double floor) {
    std::printf("%-30s measured %8.2f ms  floor %8.2f ms  ratio %.3f\n", what, measured * 1e3,
                floor * 1e3, measured / floor);
}

// Every 20 ms each PV (ids 1 to controllers of each simulator) moves by a
// tenth, so that each poll reads a new one. Stopped and joined as it goes,
// which must be before the simulators go.
inline std::jthread movingPvs(std::vector<std::unique_ptr<sim::SimController>>& sims,
                              int controllers) {
    return std::jthread([&sims, controllers](std::stop_token stop) {
        for (uint16_t tenths = 2000; !stop.stop_requested();
             tenths = tenths == 2999 ? 2000 : tenths + 1) {
            for (auto& s : sims)
                for (int id = 1; id <= controllers; ++id)
                    s->setReg(uint8_t(id), 0x1000, tenths);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

// When each controller's states reached the subscriber, by topic, and the
// controllers whose parameters came.
struct Arrivals {
    std::mutex mutex;
    std::map<std::string, std::vector<std::chrono::steady_clock::time_point>> at;
    bool counting = false;
    std::set<std::string> parameters;
};

// mosquitto's message callback, with the Arrivals as its user data.
inline void onStateMessage(mosquitto*, void* arrivals, const mosquitto_message* m) {
    auto* a = static_cast<Arrivals*>(arrivals);
    const std::string topic = m->topic;
    std::lock_guard lock(a->mutex);
    if (topic.size() > 11 && topic.compare(topic.size() - 11, 11, "/parameters") == 0)
        a->parameters.insert(topic);
    else if (a->counting)
        a->at[topic].push_back(std::chrono::steady_clock::now());
}

// Waits until the bridge has read the parameters of all those controllers
// once (they hold its polls back at the start), for at most a minute; then
// two seconds more. again: a bridge started again, whose parameters come anew.
inline bool settled(Arrivals& a, std::size_t controllers, bool again = false) {
    if (again) {
        std::lock_guard lock(a.mutex);
        a.parameters.clear();
    }
    for (int i = 0; i < 600; ++i) {
        {
            std::lock_guard lock(a.mutex);
            if (a.parameters.size() == controllers) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::lock_guard lock(a.mutex);
    return a.parameters.size() == controllers;
}

// The median and the worst time between two states of one controller, over
// all of them; {-1, -1} where one has fewer than two states.
inline std::pair<double, double> periods(Arrivals& a, std::size_t controllers) {
    std::lock_guard lock(a.mutex);
    std::vector<double> gaps;
    if (a.at.size() != controllers) return {-1, -1};
    for (const auto& [topic, times] : a.at) {
        if (times.size() < 2) return {-1, -1};
        for (std::size_t i = 1; i < times.size(); ++i)
            gaps.push_back(std::chrono::duration<double>(times[i] - times[i - 1]).count());
    }
    std::sort(gaps.begin(), gaps.end());
    return {gaps[gaps.size() / 2], gaps.back()};
}

} // namespace bench
