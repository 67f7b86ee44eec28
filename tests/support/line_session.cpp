#include "support/line_session.h"

#include "panelkit/panel_runtime.h"
#include "params/params_state.h"
#include "serial/serial_service.h"

void LineSessionTest::SetUp() {
    discardAllPanels();
    link.setComPort(kPort);
    ASSERT_EQ(link.open(), 0);
    line.clearLog();
    setPopupScript(&popups);
    ::testing::internal::CaptureStderr();
}

void LineSessionTest::TearDown() {
    const std::string complaints = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(complaints.find("panel"), std::string::npos) << complaints;
    EXPECT_TRUE(popups.shown.empty()) << popups.shown.front().title;
    setPopupScript(nullptr);
    CloseCom(link.port());
}

void LineSessionTest::setDecimalPoint(bool oneDigit) {
    controller.parmRecord.decimalPoint = oneDigit ? 1 : 0;
    applyDecimalScale(controller);
}
