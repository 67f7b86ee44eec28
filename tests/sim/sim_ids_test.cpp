// Several controllers on one simulated line: each id answers from its own
// registers and process, and an id not on the line is as silent as on RS-485.
#include "sim/sim_controller.h"
#include "sim_line.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

TEST(SimIds, EachIdAnswersFromItsOwnControllerAndOthersStaySilent) {
    sim::SimController sim({.ids = {1, 2, 7}, .baudRate = 115200, .latency = 0.0005});
    ASSERT_TRUE(sim.start());
    Line line(sim.devicePath());
    ASSERT_TRUE(line.isOpen());

    // SV 80.0 written to id 2 alone.
    const Bytes write2{0x02, 0x06, 0x00, 0x00, 0x03, 0x20, 0x88, 0xD1};
    EXPECT_EQ(line.transact(write2, 8), write2);
    EXPECT_EQ(line.transact({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A}, 7),
              (Bytes{0x01, 0x03, 0x02, 0x00, 0xFA, 0x38, 0x07}));
    EXPECT_EQ(line.transact({0x02, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x39}, 7),
              (Bytes{0x02, 0x03, 0x02, 0x03, 0x20, 0xFD, 0x6C}));
    EXPECT_EQ(line.transact({0x07, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x6C}, 7),
              (Bytes{0x07, 0x03, 0x02, 0x00, 0xFA, 0xB0, 0x07}));
    // Each id's process is its own: a furnace at 500.0 heats no neighbour.
    sim.setReg(7, 0x1000, 5000);
    const Bytes pv7 = line.transact({0x07, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xAC}, 7);
    const Bytes pv1 = line.transact({0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA}, 7);
    ASSERT_EQ(pv7.size(), 7u);
    ASSERT_EQ(pv1.size(), 7u);
    EXPECT_GT(pv7[3] << 8 | pv7[4], 4000);
    EXPECT_LT(pv1[3] << 8 | pv1[4], 1000);

    // A request for id 3, or for an id switched off, goes unanswered: the
    // first reply back is the id 7 identification sent right behind it.
    const Bytes ident7{0x07, 0x03, 0x1F, 0x00, 0x00, 0x01, 0x83, 0xB8};
    const Bytes ident7Reply{0x07, 0x03, 0x02, 0x40, 0x07, 0x40, 0x46};
    sim.setAnswering(2, false);
    for (const Bytes& unanswered : {Bytes{0x03, 0x03, 0x1F, 0x00, 0x00, 0x01, 0x82, 0x3C},
                                    Bytes{0x02, 0x03, 0x1F, 0x00, 0x00, 0x01, 0x83, 0xED}}) {
        const int before = sim.requestCount();
        Bytes both = unanswered;
        both.insert(both.end(), ident7.begin(), ident7.end());
        ASSERT_TRUE(line.send(both));
        EXPECT_EQ(line.receive(7), ident7Reply);
        EXPECT_EQ(sim.requestCount(), before + 1);
    }
    sim.setAnswering(2, true);
    EXPECT_EQ(line.transact({0x02, 0x03, 0x1F, 0x00, 0x00, 0x01, 0x83, 0xED}, 7),
              (Bytes{0x02, 0x03, 0x02, 0x40, 0x07, 0x8C, 0x46}));
}

} // namespace
