#include "params/parameter_file.h"

#include <gtest/gtest.h>

#include <variant>

namespace {

ParmRecord parsedOrFail(const std::string& text, const ParmRecord& base = {}) {
    auto r = parseParameterFile(text, base);
    if (auto* why = std::get_if<std::string>(&r)) ADD_FAILURE() << *why;
    return std::holds_alternative<ParmRecord>(r) ? std::get<ParmRecord>(r) : base;
}

std::string problemOf(const std::string& text) {
    auto r = parseParameterFile(text, {});
    return std::holds_alternative<std::string>(r) ? std::get<std::string>(r) : "";
}

} // namespace

TEST(ParameterFile, WritesTheExactLine) {
    ParmRecord rec;
    rec.sv = 25.0f;
    rec.a1SetPoint = -20.5f;
    const std::string line = formatParameterFile(rec);
    EXPECT_EQ(line.rfind("  25.00  -20.50    0.00 ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 6), " 0 0 0");
    EXPECT_EQ(line.back(), '0'); // no line end
    rec.sv = 1234.0f;
    EXPECT_EQ(formatParameterFile(rec).rfind("1234.00 ", 0), 0u);
}

TEST(ParameterFile, RoundTripAndAnyWhiteSpaceLayout) {
    ParmRecord rec;
    rec.sv = 123.4f;
    rec.loLimit = -5.5f;
    rec.outputLevel = 12.3f;
    rec.spareReal2 = 7.25f;
    rec.decimalPoint = 1;
    rec.a1DelayTime = -1;
    rec.spareInt3 = 42;
    rec.pid1B = 99; // not in the file: kept from the base
    const std::string line = formatParameterFile(rec);
    ParmRecord base;
    base.pid1B = 99;
    const ParmRecord back = parsedOrFail(line, base);
    EXPECT_FLOAT_EQ(back.sv, 123.4f);
    EXPECT_FLOAT_EQ(back.loLimit, -5.5f);
    EXPECT_FLOAT_EQ(back.spareReal2, 7.25f);
    EXPECT_EQ(back.decimalPoint, 1);
    EXPECT_EQ(back.a1DelayTime, -1);
    EXPECT_EQ(back.spareInt3, 42);
    EXPECT_EQ(back.pid1B, 99);

    std::string tabs = line, lines = line;
    for (char& c : tabs)
        if (c == ' ') c = '\t';
    for (char& c : lines)
        if (c == ' ') c = '\n';
    EXPECT_EQ(formatParameterFile(parsedOrFail(tabs)), formatParameterFile(back));
    EXPECT_EQ(formatParameterFile(parsedOrFail(lines + "\n")), formatParameterFile(back));
}

TEST(ParameterFile, RefusesWhatCouldHarmTheController) {
    EXPECT_NE(problemOf("1 2 3 4 5 6 7 8 9 10").find("holds 10 fields"), std::string::npos);
    EXPECT_NE(problemOf("").find("holds 0 fields"), std::string::npos);
    ParmRecord rec;
    std::string good = formatParameterFile(rec);
    EXPECT_EQ(problemOf(good), "");
    EXPECT_NE(problemOf(good + " 5").find("holds 39"), std::string::npos);
    EXPECT_NE(problemOf("abc" + good.substr(7)).find("is not a number"), std::string::npos);
    rec.sv = 4000.0f; // 40000 tenths: past 16 bits with the decimal point on
    rec.decimalPoint = 1;
    EXPECT_NE(problemOf(formatParameterFile(rec)).find("does not fit its register"),
              std::string::npos);
    rec.decimalPoint = 0; // whole units: 4000 fits
    EXPECT_EQ(problemOf(formatParameterFile(rec)), "");
    std::string wide = formatParameterFile(ParmRecord{});
    wide.replace(wide.size() - 1, 1, "70000");
    EXPECT_NE(problemOf(wide).find("does not fit 16 bits"), std::string::npos);
    std::string fraction = formatParameterFile(ParmRecord{});
    fraction.replace(fraction.size() - 1, 1, "1.5");
    EXPECT_NE(problemOf(fraction).find("not a whole number"), std::string::npos);
    std::string nan = formatParameterFile(ParmRecord{});
    nan.replace(0, 7, "    nan");
    EXPECT_NE(problemOf(nan).find("not a number"), std::string::npos);
}
