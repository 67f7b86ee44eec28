// Nothing on the main panel looks live without a controller: before the
// first good connection and after a failed one, PV and the parameters show no
// value and every control that needs a controller is dimmed.
#include "link/line.h"
#include "link/registers.h"
#include "mainpanel/controller_controls.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/parameter_display.h"
#include "panelkit/panel_table.h"
#include "pid/panel/ids/pid_panel.h"
#include "serial/com_map.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

namespace {

namespace M = MainPanel;

class NothingLive : public ControllerTest {
  protected:
    NothingLive() { simOptions.timeScale = 0.0; } // PV stays put
    static bool showsValue(CtrlId c) {
        double v = -1;
        GetCtrlAttribute(MainPanel::handle, c, ATTR_SHOWS_VALUE, &v);
        return v != 0;
    }
    static bool dimmed(CtrlId c) {
        double v = -1;
        GetCtrlAttribute(MainPanel::handle, c, ATTR_DIMMED, &v);
        return v != 0;
    }
    static std::string text(CtrlId c) {
        std::string t;
        GetCtrlVal(MainPanel::handle, c, &t);
        return t;
    }
    void pollPv() {
        SetCtrlAttribute(MainPanel::handle, M::pvPollTimer, ATTR_INTERVAL, 3600.0);
        SetCtrlAttribute(MainPanel::handle, M::pvPollTimer, ATTR_ENABLED, 1);
        postTick(MainPanel::handle, M::pvPollTimer);
        ASSERT_TRUE(waitIdle());
        SetCtrlAttribute(MainPanel::handle, M::pvPollTimer, ATTR_ENABLED, 0);
    }
    void expectNothingLive() {
        EXPECT_FALSE(showsValue(M::pvDisplay));
        for (CtrlId c : controllerControls())
            EXPECT_TRUE(dimmed(c)) << c;
    }
    // With Q7_SHOTS_DIR set, keeps a picture of the main panel as it stands.
    static void saveShot(const char* name) {
        const char* dir = std::getenv("Q7_SHOTS_DIR");
        if (!dir) return;
        QWidget* root = controlWidget(MainPanel::handle, M::pvDisplay)->window();
        root->show();
        ASSERT_TRUE(root->grab().save(QDir(dir).absoluteFilePath(QString(name) + ".png")));
    }
};

} // namespace

TEST_F(NothingLive, BeforeAConnectionNoDefaultPassesForAValue) {
    expectNothingLive();
    EXPECT_EQ(text(M::pvDisplay), "\u2014");
    EXPECT_EQ(text(M::cycleTimeNumeric), "\u2014 s") << "the panel file's 15 s is no reading";
    for (const ShownParameter& s : shownParameters()) {
        if (s.onDebugPanel) continue;
        EXPECT_FALSE(showsValue(s.control)) << s.control;
    }
    EXPECT_FALSE(showsValue(M::modeRing));
    pollPv();
    EXPECT_EQ(sim->requestCount(), 0);
    EXPECT_FALSE(showsValue(M::pvDisplay));
    saveShot("13b-before-connection");
}

TEST_F(NothingLive, AGoodConnectionShowsWhatWasReadAndNothingElse) {
    connect(1);
    for (const ShownParameter& s : shownParameters()) {
        if (s.onDebugPanel) continue;
        EXPECT_EQ(showsValue(s.control), s.reg != reg::cycleTime) << s.control;
    }
    // Model '@' in On: no ramp, and no output level to set.
    for (CtrlId c : controllerControls()) {
        const bool stays = c == M::rampRateNumeric || c == M::softStartMajor ||
                           c == M::softStartMinor || c == M::softStartUpdateButton ||
                           c == M::outputLevelNumeric || c == M::outputSetButton;
        EXPECT_EQ(dimmed(c), stays) << c;
    }
    EXPECT_FALSE(showsValue(M::pvDisplay)) << "until the first poll";
    pollPv();
    EXPECT_EQ(text(M::pvDisplay), "23.5 °C");
    saveShot("13b-connected");

    // Enter in the empty cycle time sends nothing; a typed value is sent.
    sim->clearRequestLog();
    typeAndEnter(MainPanel::handle, M::cycleTimeNumeric, "");
    EXPECT_TRUE(sim->requestLog().empty());
    EXPECT_EQ(text(M::cycleTimeNumeric), "\u2014 s");
    typeAndEnter(MainPanel::handle, M::cycleTimeNumeric, "15");
    EXPECT_EQ(sim->lastRequestHex().substr(0, 17), "01 06 00 17 00 0F")
        << "a typed value equal to the hidden one is still the operator's";
    EXPECT_EQ(text(M::cycleTimeNumeric), "15 s");
}

TEST_F(NothingLive, AFailedConnectionDimsAndEmptiesAgain) {
    connect(1);
    pollPv();
    ASSERT_TRUE(showsValue(M::pvDisplay));
    setValueAndCommit(MainPanel::handle, M::modeRing, 2); // auto-tuning: its poll runs
    ASSERT_NE(SetCtrlAttribute(MainPanel::handle, M::autoTuneTimer, ATTR_INTERVAL, 3600.0), -1);

    shortenTimeOut();
    connect(7); // nobody answers to 7
    EXPECT_EQ(popupTitles().back(), "COMMUNICATION ERROR!");
    expectNothingLive();
    double tuning = -1;
    GetCtrlAttribute(MainPanel::handle, M::autoTuneTimer, ATTR_ENABLED, &tuning);
    EXPECT_EQ(tuning, 0) << "no poll of a controller that is not there";
    int lit = -1;
    GetCtrlVal(MainPanel::handle, M::autoTuneIndicator, &lit);
    EXPECT_EQ(lit, 0);

    connect(1);
    EXPECT_FALSE(dimmed(M::svEntry));
    // A port that does not open at all takes the link down just the same.
    setComDevice(4, "/nonexistent/q7-test-port");
    SetCtrlVal(MainPanel::handle, M::portSelector, 4);
    commit(MainPanel::handle, M::portSelector);
    EXPECT_EQ(popupTitles().back(), "COM Port Finding Error!");
    EXPECT_FALSE(line().linkUp());
    expectNothingLive();
}
