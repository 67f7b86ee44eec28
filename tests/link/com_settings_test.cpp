#include "link/com_settings_file.h"
#include "link/status_report.h"

#include <gtest/gtest.h>

TEST(ComSettingsFile, AcceptsWrittenAndWhiteSpaceForms) {
    for (const char* text : {"3, 19200, 5", "3 19200 5", "3,19200,5", " 3 ,\t19200\n, 5\n"}) {
        const ComSettingsFields f = parseComSettings(text);
        ASSERT_TRUE(f.port && f.baudRate && f.controllerId) << text;
        EXPECT_EQ(*f.port, 3);
        EXPECT_EQ(*f.baudRate, 19200);
        EXPECT_EQ(*f.controllerId, 5);
    }
}

TEST(ComSettingsFile, StopsAtFirstBadField) {
    ComSettingsFields f = parseComSettings("4");
    EXPECT_EQ(f.port, 4);
    EXPECT_FALSE(f.baudRate);
    EXPECT_FALSE(f.controllerId);
    f = parseComSettings("4, fast, 2");
    EXPECT_EQ(f.port, 4);
    EXPECT_FALSE(f.baudRate);
    EXPECT_FALSE(f.controllerId);
    f = parseComSettings("");
    EXPECT_FALSE(f.port);
    f = parseComSettings("70000, 19200, 1"); // no such 16-bit port number
    EXPECT_FALSE(f.port);
    f = parseComSettings("3,, 19200, 1");
    EXPECT_EQ(f.port, 3);
    EXPECT_FALSE(f.baudRate);
}

TEST(ComSettingsFile, FastBaudRatesSurviveARoundTrip) {
    const std::string text = formatComSettings(3, 115200, 1);
    EXPECT_EQ(text, "3, 115200, 1");
    EXPECT_EQ(parseComSettings(text).baudRate, 115200);
    EXPECT_EQ(formatComSettings(3, 19200, 1), "3, 19200, 1");
}

TEST(StatusReport, SentencesPerBit) {
    EXPECT_EQ(statusReportText(0), "No status bits are set.");
    EXPECT_EQ(statusReportText(0x000C), "No status bits are set.");
    EXPECT_EQ(statusReportText(0x0030),
              "Parity error.\nOverrun error: Received characters were lost.\n");
    const std::string all = statusReportText(0xF0F3);
    EXPECT_EQ(all.size(), 910u);
    EXPECT_EQ(all.rfind("Input lost:", 0), 0u);
    EXPECT_NE(all.find("sent.  XON tells the other device that it can \n resume"),
              std::string::npos);
}
