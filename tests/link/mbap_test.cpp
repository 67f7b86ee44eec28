// Modbus TCP framing on the master's side, byte for byte: the request behind
// its header without the CRC, replies put back together from a stream that
// cuts them anywhere, and the transaction ids each gateway connection counts.
#include "link/controller.h"
#include "link/line.h"
#include "link/mbap.h"
#include "link/registers.h"
#include "link/transfer.h"
#include "serial/com_map.h"
#include "serial/serial_service.h"
#include "sim/sim_controller.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Feeds the bytes to the receiver in pieces of the given size, as far as it wants them.
void feed(MbapReceiver& rx, const Bytes& bytes, std::size_t piece) {
    std::size_t at = 0;
    while (at < bytes.size() && rx.wanted() > 0) {
        const std::size_t n = std::min({piece, bytes.size() - at, std::size_t(rx.wanted())});
        rx.take(bytes.data() + at, int(n));
        at += n;
    }
}

Bytes rtuOf(const MbapReceiver& rx) {
    uint8_t out[kMaxReply] = {};
    return Bytes(out, out + rx.rtuFrame(out));
}

TEST(Mbap, RequestsAndRepliesMapToTheirRtuFrames) {
    EXPECT_EQ(mbapRequest(0x1234, {0x07, 0x06, 0x00, 0x00, 0x01, 0x2C, 0x88, 0x11}),
              (Bytes{0x12, 0x34, 0x00, 0x00, 0x00, 0x06, 0x07, 0x06, 0x00, 0x00, 0x01, 0x2C}));

    // A read reply, one byte at a time: never a byte of the next frame is asked for.
    MbapReceiver rx;
    feed(rx, {0x00, 0x05, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02, 0x00, 0xEB, 0x99}, 1);
    ASSERT_TRUE(rx.whole());
    EXPECT_EQ(rx.wanted(), 0);
    EXPECT_EQ(rx.transaction(), 0x0005);
    EXPECT_EQ(rtuOf(rx), (Bytes{0x01, 0x03, 0x02, 0x00, 0xEB, 0xF8, 0x0B}));

    // A refusal is the five-byte exception frame.
    rx.clear();
    feed(rx, {0x00, 0x06, 0x00, 0x00, 0x00, 0x03, 0x01, 0x86, 0x03}, 4);
    ASSERT_TRUE(rx.whole());
    EXPECT_EQ(rtuOf(rx), (Bytes{0x01, 0x86, 0x03, 0x02, 0x61}));

    // Cut short, it is what came, with no CRC made up for it.
    rx.clear();
    feed(rx, {0x00, 0x07, 0x00, 0x00, 0x00, 0x05, 0x01, 0x03, 0x02}, 9);
    EXPECT_FALSE(rx.whole());
    EXPECT_EQ(rx.wanted(), 2);
    EXPECT_EQ(rtuOf(rx), (Bytes{0x01, 0x03, 0x02}));

    // Another protocol's frame is framed by its length, and not Modbus.
    rx.clear();
    feed(rx, {0x00, 0x08, 0x00, 0x01, 0x00, 0x02, 0x01, 0x03}, 8);
    EXPECT_TRUE(rx.whole());
    EXPECT_FALSE(rx.isModbus());

    // A header whose length is not the frame's own, longer or shorter.
    for (const Bytes& lying :
         {Bytes{0x00, 0x0A, 0x00, 0x00, 0x00, 0x07, 0x01, 0x03, 0x02, 0x00, 0xEB, 0x00, 0x0B},
          Bytes{0x00, 0x0B, 0x00, 0x00, 0x00, 0x04, 0x01, 0x03, 0x02, 0x00}}) {
        rx.clear();
        feed(rx, lying, 13);
        EXPECT_TRUE(rx.whole());
        EXPECT_FALSE(rx.lengthHolds());
    }
    rx.clear();
    feed(rx, {0x00, 0x0C, 0x00, 0x00, 0x00, 0x06, 0x01, 0x06, 0x00, 0x00, 0x01, 0x2C}, 12);
    EXPECT_TRUE(rx.lengthHolds());

    // A length no frame has: nothing more is asked for.
    rx.clear();
    feed(rx, {0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x01}, 7);
    EXPECT_TRUE(rx.broken());
    EXPECT_FALSE(rx.whole());
    EXPECT_EQ(rx.wanted(), 0);
}

} // namespace

TEST(Mbap, EachGatewayConnectionCountsItsOwnTransactions) {
    sim::SimController first({.listen = sim::Listen{}}), second({.listen = sim::Listen{}});
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    // Lines 1 and 3 share the first gateway's connection, line 2 has the second.
    setComDevice(1, first.devicePath());
    setComDevice(2, second.devicePath());
    setComDevice(3, first.devicePath());
    Line a, b, c;
    a.setComPort(1);
    b.setComPort(2);
    c.setComPort(3);
    for (Line* line : {&a, &b, &c})
        ASSERT_EQ(line->open(), 0) << comOpenError(line->port());
    Controller onA(a), onB(b), onC(c);
    EXPECT_EQ(readRegisters(onA, reg::pv).fault, Fault::none);
    EXPECT_EQ(readRegisters(onB, reg::pv).fault, Fault::none);
    EXPECT_EQ(readRegisters(onC, reg::pv).fault, Fault::none);
    EXPECT_EQ(readRegisters(onB, reg::pv).fault, Fault::none);
    EXPECT_EQ(first.requestLog(),
              (std::vector<std::string>{"00 01 00 00 00 06 01 03 10 00 00 01",
                                        "00 02 00 00 00 06 01 03 10 00 00 01"}));
    EXPECT_EQ(second.requestLog(),
              (std::vector<std::string>{"00 01 00 00 00 06 01 03 10 00 00 01",
                                        "00 02 00 00 00 06 01 03 10 00 00 01"}));
    for (Line* line : {&a, &b, &c})
        line->close();
    clearComMap();
}
