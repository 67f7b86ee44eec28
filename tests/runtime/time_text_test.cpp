#include "panelkit/panel_service.h"

#include <gtest/gtest.h>

#include <regex>

TEST(TimeText, ClockAndDateLookRight) {
    EXPECT_TRUE(std::regex_match(TimeStr(), std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]")));
    int m = 0, d = 0, y = 0;
    GetSystemDate(&m, &d, &y);
    EXPECT_TRUE(m >= 1 && m <= 12 && d >= 1 && d <= 31 && y >= 2024);
}

TEST(TimeText, HalvesRoundAwayFromZero) {
    EXPECT_EQ(RoundRealToNearestInteger(2.5), 3);
    EXPECT_EQ(RoundRealToNearestInteger(3.5), 4);
    EXPECT_EQ(RoundRealToNearestInteger(-2.5), -3);
    EXPECT_EQ(RoundRealToNearestInteger(2.4999), 2);
    EXPECT_EQ(RoundRealToNearestInteger(-0.4), 0);
}
