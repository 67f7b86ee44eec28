#pragma once
// The faults a real RS-232 line and controller produce, as one table the
// reliability tests walk through against the simulated controller.
#include "sim/sim_controller.h"

#include <functional>
#include <string>
#include <vector>

struct LineFault {
    std::string name;
    // Queues the fault for the simulator's next reply.
    std::function<void(sim::SimController&)> inject;
};

// One entry per fault kind: lost, late, one bit flipped, cut short, another
// slave, each exception code, noise before the reply.
inline std::vector<LineFault> replyFaults() {
    std::vector<LineFault> faults = {
        {"lost reply", [](sim::SimController& s) { s.dropReplies(1); }},
        {"late reply", [](sim::SimController& s) { s.delayNext(1.3); }},
        {"bit flip in the data", [](sim::SimController& s) { s.flipBit(4, 0); }},
        {"bit flip in the address", [](sim::SimController& s) { s.flipBit(0, 7); }},
        {"short reply", [](sim::SimController& s) { s.truncateNext(4); }},
        {"wrong slave", [](sim::SimController& s) { s.wrongSlaveNext(2); }},
        {"noise before the reply", [](sim::SimController& s) { s.noiseNext(3); }},
    };
    for (int code = 1; code <= 4; ++code)
        faults.push_back({"exception " + std::to_string(code),
                          [code](sim::SimController& s) { s.exceptionNext(uint8_t(code)); }});
    return faults;
}
