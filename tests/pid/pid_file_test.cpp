#include "pid/pid_block.h"
#include "pid/pid_file.h"

#include <gtest/gtest.h>

namespace {

ParmRecord sample() {
    ParmRecord r;
    r.pid11 = 12.3f;
    r.pid12 = 240;
    r.pid13 = -60;
    r.pid14 = 100.0f;
    r.pid15 = -0.5f;
    r.pid16 = 5.5f;
    r.cycleTime = 15;
    r.pid18 = 3276.7f;
    r.pid19 = -1200.25f;
    r.pid1A = 0.0f;
    r.pid1B = -32768;
    return r;
}

bool samePidFields(const ParmRecord& a, const ParmRecord& b) {
    for (const PidField& f : pidFields()) {
        if (f.real ? a.*f.real != b.*f.real : a.*f.word != b.*f.word) return false;
    }
    return true;
}

} // namespace

TEST(PidFile, LayoutIsElevenFieldsInRegisterOrderWithoutLineEnd) {
    EXPECT_EQ(formatPidFile(sample()), "  12.30 240 -60  100.00   -0.50    5.50 15 3276.70 "
                                       "-1200.25    0.00 -32768");
    // A value wider than seven characters simply widens its field.
    ParmRecord wide;
    wide.pid11 = 12345.678f;
    EXPECT_EQ(formatPidFile(wide).substr(0, 9), "12345.68 ");
}

TEST(PidFile, ReadsBackWhatItWritesToTwoDecimals) {
    ParmRecord loaded;
    ASSERT_TRUE(parsePidFile(formatPidFile(sample()), &loaded));
    EXPECT_TRUE(samePidFields(loaded, sample()));
    EXPECT_FLOAT_EQ(loaded.pid11, 12.3f);

    ParmRecord fine;
    fine.pid14 = 1.239f;
    ASSERT_TRUE(parsePidFile(formatPidFile(fine), &loaded));
    EXPECT_FLOAT_EQ(loaded.pid14, 1.24f);
}

TEST(PidFile, AnyWhitespaceSeparatesFields) {
    ParmRecord loaded;
    ASSERT_TRUE(parsePidFile("\n  1.5\t2\r\n3 +4 5 6 7 8 9 10 11\n", &loaded));
    EXPECT_FLOAT_EQ(loaded.pid11, 1.5f);
    EXPECT_EQ(loaded.pid12, 2);
    EXPECT_FLOAT_EQ(loaded.pid14, 4.0f);
    EXPECT_EQ(loaded.pid1B, 11);
}

TEST(PidFile, AnythingButElevenFittingNumbersIsRefusedAndChangesNothing) {
    const char* refused[] = {
        "",
        "1 2 3 4 5 6 7 8 9 10",        // too few
        "1 2 3 4 5 6 7 8 9 10 11 12",  // too many: not a PID file
        "1 2.5 3 4 5 6 7 8 9 10 11",   // a real where the register holds an integer
        "1 40000 3 4 5 6 7 8 9 10 11", // does not fit 16 bits
        "1 2 3 4 5 6 -32769 8 9 10 11",
        "1 2 3 four 5 6 7 8 9 10 11",
        "nan 2 3 4 5 6 7 8 9 10 11",
        "1 2 3 4 5 6 7 8 9 10 11x",
        "1,5 2 3 4 5 6 7 8 9 10 11",
    };
    for (const char* text : refused) {
        ParmRecord record = sample();
        EXPECT_FALSE(parsePidFile(text, &record)) << text;
        EXPECT_TRUE(samePidFields(record, sample())) << text;
    }

    // A parameter file (18 reals, then 20 integers) is no PID file either.
    std::string parameterFile;
    for (int i = 0; i < 18; ++i)
        parameterFile += "  10.00 ";
    for (int i = 0; i < 20; ++i)
        parameterFile += "1 ";
    ParmRecord record = sample();
    EXPECT_FALSE(parsePidFile(parameterFile, &record));
}

TEST(PidBlock, MisfitsNameOnlyTheValuesTheirRegisterCannotHold) {
    ParmRecord r = sample();
    EXPECT_EQ(pidMisfits(r, Scale{}), "");
    EXPECT_EQ(pidMisfits(r, Scale::ofDecimalPoint(1)), "") << "-1200.25 x 10 still fits";
    r.pid19 = 5000.0f; // 50000 with the decimal point on
    r.pid11 = 3300.0f; // tenths: 33000
    EXPECT_EQ(pidMisfits(r, Scale::ofDecimalPoint(1)), "P band (0x11), temperature (0x19)");
    EXPECT_EQ(pidMisfits(r, Scale{}), "P band (0x11)");
}

TEST(PidBlock, RegistersDecodeByTheirEncoding) {
    ParmRecord r;
    for (const PidField& f : pidFields())
        setPidFromRegister(f, r, 55, Scale::ofDecimalPoint(1));
    EXPECT_FLOAT_EQ(r.pid11, 5.5f) << "tenths whatever the decimal point";
    EXPECT_FLOAT_EQ(r.pid16, 5.5f) << "scaled, decimal point on";
    EXPECT_EQ(r.pid12, 55);
    for (const PidField& f : pidFields())
        setPidFromRegister(f, r, 55, Scale{});
    EXPECT_FLOAT_EQ(r.pid11, 5.5f);
    EXPECT_FLOAT_EQ(r.pid16, 55.0f);
    for (const PidField& f : pidFields())
        setPidFromRegister(f, r, -3, Scale{});
    EXPECT_FLOAT_EQ(r.pid14, -0.3f) << "registers are signed";
    EXPECT_EQ(r.cycleTime, -3);
}
