#pragma once
// What the tests of the sending actions share: a reading of COM1 id 1, and
// the wait for the failed action a send given up on becomes.
#include "alarms/alarm_engine.h"

#include <chrono>
#include <thread>

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
