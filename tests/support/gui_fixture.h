#pragma once
// Helpers for tests that load real panels and drive them like the operator.
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_test_api.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

class QWidget;

// Runs the GUI loop until pred() holds or the deadline passes.
bool waitUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Sets the value as the logic would, then commits it as the operator would,
// and waits until the control thread is idle again.
void setValueAndCommit(int panel, CtrlId control, int value);
void setValueAndCommit(int panel, CtrlId control, double value);
void setValueAndCommit(int panel, CtrlId control, const std::string& value);

// Types text into an entry key by key, over whatever it showed, then presses
// Enter, as the operator does; waits until the control thread is idle.
void typeAndEnter(int panel, CtrlId control, const std::string& text);

// Discards every panel and forgets the popup script: a clean GUI for the next test.
void resetPanels();

// The control's widget (GUI thread only), for the few checks the panel calls
// cannot make.
QWidget* controlWidget(int panel, CtrlId control);

// A test with a fresh popup script installed, and every panel discarded after.
class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Loads panels/<file> as a top-level panel and fails the test if it cannot.
    int load(const char* file, int parent = 0);

    PopupScript popups;
};
