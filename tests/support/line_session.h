#pragma once
// A session open on a FakeLine with no panel loaded: the way a headless
// command runs a transfer. Anything the transfer asks of a panel would be
// complained about on stderr, and that fails the test.
#include "link/controller.h"
#include "link/line.h"
#include "panelkit/panel_test_api.h"
#include "support/fake_line.h"

#include <gtest/gtest.h>

class LineSessionTest : public ::testing::Test {
  protected:
    static constexpr int kPort = 3;
    void SetUp() override;
    void TearDown() override;
    // Sets the record's decimal point and its scale, as a read of it would.
    void setDecimalPoint(bool oneDigit);

    FakeLine line;
    // The line to the fake slave, and its controller, fresh for each test.
    Line link;
    Controller controller{link};
    PopupScript popups; // none may show: a command has no operator to answer
};
