#include "link/crc.h"
#include "link/frames.h"
#include "link/line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string hex(const Frame& f) {
    std::string out;
    char buf[4];
    for (uint8_t b : f) {
        std::snprintf(buf, sizeof buf, "%02X ", b);
        out += buf;
    }
    out.pop_back();
    return out;
}

} // namespace

TEST(Crc, CheckValueAndSharedResult) {
    const char* digits = "123456789";
    EXPECT_EQ(ModbusCalcCRC(reinterpret_cast<const uint8_t*>(digits), 9), 0x4B37u);
    const uint8_t frame[] = {0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA};
    EXPECT_TRUE(crcMatches(frame, 8));
    uint8_t bad[8];
    std::memcpy(bad, frame, 8);
    bad[4] ^= 0x10;
    EXPECT_FALSE(crcMatches(bad, 8));
}

TEST(Frames, GoldenRequests) {
    Frame pv = templates::pvRead;
    completeRequest(pv, 1);
    EXPECT_EQ(hex(pv), "01 03 10 00 00 01 80 CA");
    Frame sv = templates::svRead;
    completeRequest(sv, 1);
    EXPECT_EQ(hex(sv), "01 03 10 01 00 01 D1 0A");
    Frame off = templates::modeOff;
    completeWrite(off, 1, 0);
    EXPECT_EQ(hex(off), "01 06 00 03 00 00 79 CA");
    // The probe's placeholder address is replaced like any other.
    Frame probe = templates::probe;
    EXPECT_EQ(probe[0], 0xF7);
    completeRequest(probe, 1);
    EXPECT_EQ(hex(probe).substr(0, 17), "01 03 1F 00 00 01");
    EXPECT_TRUE(crcMatches(probe.data(), 8));
}

TEST(Frames, AddressAndValueBytes) {
    Frame f = templates::setValue;
    completeWrite(f, 258, -1); // only the low byte of the id reaches the wire
    EXPECT_EQ(f[0], 0x02);
    EXPECT_EQ(f[4], 0xFF);
    EXPECT_EQ(f[5], 0xFF);
    completeWrite(f, 1, 1000);
    EXPECT_EQ(f[4], 0x03);
    EXPECT_EQ(f[5], 0xE8);
    EXPECT_TRUE(crcMatches(f.data(), 8));
    // Templates themselves are never changed by building a request.
    EXPECT_EQ(templates::setValue[0], 0x01);
    EXPECT_EQ(templates::setValue[6], 0x00);
}

TEST(Frames, ReplyLengthFollowsRequest) {
    EXPECT_EQ(impliedReplyLength(readTemplate(0x1000)), 7);
    EXPECT_EQ(impliedReplyLength(readTemplate(0x0033, 5)), 15);
    EXPECT_EQ(impliedReplyLength(readTemplate(0x0011, 11)), 27);
    EXPECT_EQ(impliedReplyLength(readTemplate(0x0003, 2)), 9);
    EXPECT_EQ(impliedReplyLength(writeTemplate(0x0003)), 8);
    EXPECT_EQ(signedWord(0xFF, 0x38), -200);
    EXPECT_EQ(signedWord(0x80, 0x00), -32768);
}
