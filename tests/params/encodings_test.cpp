#include "params/encodings.h"
#include "params/register_map.h"

#include <gtest/gtest.h>

#include <set>

TEST(Encodings, ScaledFollowsTheDecimalPoint) {
    EXPECT_FLOAT_EQ(decodeReal(Encoding::Scaled, 0x00, 0xFA, Scale{}), 250.0f);
    EXPECT_FLOAT_EQ(decodeReal(Encoding::Scaled, 0x00, 0xFA, Scale::ofDecimalPoint(1)), 25.0f);
    EXPECT_EQ(encodeReal(Encoding::Scaled, 25.04f, Scale::ofDecimalPoint(1)), 250);
    EXPECT_FLOAT_EQ(decodeReal(Encoding::Scaled, 0xFF, 0x38, Scale{}), -200.0f);
    EXPECT_FLOAT_EQ(decodeReal(Encoding::Scaled, 0xFF, 0x38, Scale::ofDecimalPoint(1)), -20.0f);
    EXPECT_EQ(uint16_t(*encodeReal(Encoding::Scaled, -20.0f, Scale::ofDecimalPoint(1))), 0xFF38);
    EXPECT_EQ(encodeReal(Encoding::Scaled, 25.6f, Scale{}), 26);
    EXPECT_EQ(uint16_t(*encodeReal(Encoding::Scaled, -5.5f, Scale::ofDecimalPoint(1))), 0xFFC9);
}

TEST(Encodings, TenthsIgnoreTheDecimalPoint) {
    EXPECT_EQ(encodeReal(Encoding::Tenths, 12.3f, Scale{}), 123);
    EXPECT_EQ(encodeReal(Encoding::Tenths, 12.3f, Scale::ofDecimalPoint(1)), 123);
    EXPECT_FLOAT_EQ(decodeReal(Encoding::Tenths, 0x03, 0xE8, Scale{}), 100.0f);
}

TEST(Encodings, IntegerFormsKeepSixteenBits) {
    EXPECT_EQ(decodeInt(Encoding::ByteChoice, 0x12, 0x05), 5); // high byte ignored
    EXPECT_EQ(encodeInt(Encoding::ByteChoice, 300), 0x2C);
    EXPECT_EQ(decodeInt(Encoding::Word, 0x80, 0x00), -32768);
    EXPECT_EQ(decodeInt(Encoding::Word, 0xFF, 0xFF), -1);
    EXPECT_EQ(uint16_t(encodeInt(Encoding::TimeWord, -1)), 0xFFFF);
}

TEST(Encodings, TimeWordSplitAndJoin) {
    EXPECT_EQ(splitTimeWord(125).major, 2);
    EXPECT_EQ(splitTimeWord(125).minor, 5);
    EXPECT_EQ(splitTimeWord(-1).major, 0);
    EXPECT_EQ(splitTimeWord(-1).minor, -1);
    EXPECT_EQ(splitTimeWord(3725).major, 62);
    EXPECT_EQ(splitTimeWord(3725).minor, 5);
    EXPECT_EQ(joinTimeWord(62, 5), 3725);
    // Every register value comes back from its own pair.
    for (int v = -32768; v <= 32767; ++v) {
        const TimePair t = splitTimeWord(int16_t(v));
        ASSERT_EQ(joinTimeWord(t.major, t.minor), int16_t(v)) << v;
    }
    // A typed pair that would wrap into another time joins to nothing.
    EXPECT_FALSE(joinTimeWord(1092, 59).has_value()); // 65579, once sent as 43
    EXPECT_FALSE(joinTimeWord(546, 8).has_value());
    EXPECT_FALSE(joinTimeWord(-546, -9).has_value());
    EXPECT_EQ(timeWordText(splitTimeWord(-1)), "0:-01");
    EXPECT_EQ(timeWordText(splitTimeWord(32767)), "546:07");
}

TEST(Encodings, RegisterRangeCheck) {
    EXPECT_TRUE(realFitsRegister(Encoding::Scaled, 3276.7, Scale::ofDecimalPoint(1)));
    EXPECT_FALSE(realFitsRegister(Encoding::Scaled, 3276.8, Scale::ofDecimalPoint(1)));
    EXPECT_TRUE(realFitsRegister(Encoding::Scaled, -32768, Scale{}));
    EXPECT_FALSE(realFitsRegister(Encoding::Tenths, 5000, Scale{}));
    EXPECT_FALSE(realFitsRegister(Encoding::Scaled, 1e30, Scale{}));
}

TEST(RegisterMap, TransfersCoverTheRightRegisters) {
    std::set<uint16_t> read(bulkReadOrder().begin(), bulkReadOrder().end());
    EXPECT_EQ(read.size(), 26u);
    EXPECT_EQ(bulkReadOrder().front(), 0x0021); // the decimal point
    EXPECT_EQ(bulkWriteOrder().front(), 0x0021);
    for (uint16_t reg : bulkReadOrder()) {
        if (reg == 0x0003) continue; // read for the panel, not kept in the record
        EXPECT_NE(findParmRegister(reg), nullptr) << reg;
    }
    for (uint16_t reg : bulkWriteOrder())
        EXPECT_NE(findParmRegister(reg), nullptr) << reg;
    // The PID block and 0x25 are written but never read back in bulk.
    for (uint16_t reg : {0x11, 0x12, 0x13, 0x14, 0x15, 0x17, 0x25})
        EXPECT_FALSE(read.count(reg));
    for (const ParmRegister& r : parmRegisters())
        EXPECT_NE(r.isReal(), r.word != nullptr);
}
