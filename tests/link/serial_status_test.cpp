#include "link/serial_status.h"

#include <gtest/gtest.h>

TEST(StatusReport, SentencesPerBit) {
    const std::string clean = "No line errors since the last look.\nNo status bits are set.";
    EXPECT_EQ(statusReportText(0), clean);
    EXPECT_EQ(statusReportText(0x000C), clean);
    EXPECT_EQ(statusReportText(0x0030),
              "Parity error.\nOverrun error: Received characters were lost.\n");
    const std::string all = statusReportText(0xF0F3);
    EXPECT_EQ(all.size(), 910u);
    EXPECT_EQ(all.rfind("Input lost:", 0), 0u);
    EXPECT_NE(all.find("sent.  XON tells the other device that it can \n resume"),
              std::string::npos);
}
