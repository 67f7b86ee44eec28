#include "support/line_session.h"

#include "app/state_reset.h"
#include "link/line.h"
#include "panelkit/panel_runtime.h"
#include "params/params_state.h"
#include "serial/serial_service.h"

void LineSessionTest::SetUp() {
    resetAllState();
    discardAllPanels();
    session().setComPort(kPort);
    ASSERT_EQ(session().open(), 0);
    line.clearLog();
    setPopupScript(&popups);
    ::testing::internal::CaptureStderr();
}

void LineSessionTest::TearDown() {
    const std::string complaints = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(complaints.find("panel"), std::string::npos) << complaints;
    EXPECT_TRUE(popups.shown.empty()) << popups.shown.front().title;
    setPopupScript(nullptr);
    CloseCom(kPort);
    resetAllState();
}

void LineSessionTest::setDecimalPoint(bool oneDigit) {
    sessionController().parmRecord.decimalPoint = oneDigit ? 1 : 0;
    applyDecimalScale();
}
