#include "base/number_text.h"
#include "connection/com_settings_file.h"

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
    f = parseComSettings("COM1=tcp://10.0.0.9:502, 19200, 257"); // never cut to 8 bits
    EXPECT_FALSE(f.controllerId);
    EXPECT_EQ(f.badControllerId, "257");
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

TEST(ComSettingsFile, AGatewayIsKeptWithItsNumberWhereNoPortNumberIsRead) {
    const std::string text = formatComSettings(5, 19200, 7, "rtu+tcp://10.0.0.9:4001");
    EXPECT_EQ(text, "COM5=rtu+tcp://10.0.0.9:4001, 19200, 7");
    const ComSettingsFields f = parseComSettings(text);
    EXPECT_EQ(f.port, 5);
    EXPECT_EQ(f.endpoint, "rtu+tcp://10.0.0.9:4001");
    EXPECT_EQ(f.baudRate, 19200);
    EXPECT_EQ(f.controllerId, 7);
    EXPECT_EQ(parseComSettings("COM6=tcp://[::1]:502 9600 1").endpoint, "tcp://[::1]:502");
    // A reader of the three numbers finds none where the endpoint stands.
    std::string_view front = text;
    EXPECT_FALSE(takeWhole(front));
    // Half an endpoint is no port at all.
    for (const char* bad : {"COM5=tcp://10.0.0.9, 19200, 1", "COM5=/dev/ttyS0, 19200, 1",
                            "COM0=tcp://h:502, 19200, 1", "COM5=tcp://h:70000, 19200, 1"})
        EXPECT_FALSE(parseComSettings(bad).port) << bad;
}

// Fields after the three keep a frame other than 8N2; a reader of three
// fields finds the same three, and half a frame is none.
TEST(ComSettingsFile, TheCharacterFrameFollowsTheThreeFields) {
    EXPECT_EQ(formatComSettings(3, 19200, 1, "", {0, 2}), "3, 19200, 1");
    EXPECT_EQ(formatComSettings(3, 19200, 1, "", {0, 2, false, true}), "3, 19200, 1, 0, 2, 0, 1");
    EXPECT_EQ(parseComSettings("3, 19200, 1, 0, 2, 0, 1").alarmNotices, false);
    const std::string text = formatComSettings(3, 9600, 4, "", {1, 1});
    EXPECT_EQ(text, "3, 9600, 4, 1, 1");
    ComSettingsFields f = parseComSettings(text);
    EXPECT_EQ(f.port, 3);
    EXPECT_EQ(f.baudRate, 9600);
    EXPECT_EQ(f.controllerId, 4);
    EXPECT_EQ(f.parity, 1);
    EXPECT_EQ(f.stopBits, 1);
    for (const char* half : {"3, 9600, 4, 1", "3, 9600, 4, 3, 1", "3, 9600, 4, 0, 3"}) {
        f = parseComSettings(half);
        EXPECT_EQ(f.controllerId, 4) << half;
        EXPECT_FALSE(f.parity || f.stopBits) << half;
    }
    f = parseComSettings("3, 12345, 1");
    EXPECT_EQ(f.port, 3);
    EXPECT_FALSE(f.baudRate);
    EXPECT_EQ(f.badBaudRate, "12345");
    EXPECT_EQ(parseComSettings("3, fast, 1").badBaudRate, "fast");
    EXPECT_FALSE(parseComSettings("3").badBaudRate) << "a missing rate is not a bad one";
}
