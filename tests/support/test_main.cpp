// Every test executable: a QApplication on the main thread (the GUI thread),
// the control thread running, no real screen needed.
#include "panelkit/control_thread.h"
#include "panelkit/panel_runtime.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    ControlThread control;
    startPanelService(control);
    const int rc = RUN_ALL_TESTS();
    stopPanelService();
    discardAllPanels();
    return rc;
}
