// The chart panel driven as the operator does: scale file, plotting, the
// hand-over with the main panel's PV polling, and Exit.
#include "chart/chart_fixture.h"
#include "chart/data_log.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/chart_yscale_panel.h"
#include "chart/panel/ids/log_setup_panel.h"
#include "link/retry_policy.h"
#include "link/transfer.h"
#include "mainpanel/ids/main_panel.h"
#include "monitor/link_fixture.h"
#include "panelkit/panel_table.h"
#include "widgets/strip_chart/strip_chart.h"

#include <QLayout>
#include <QLineSeries>

#include <cmath>

namespace {

TEST_F(ChartPanelTest, ScaleFileIsAppliedAndSurvivesTheYScalePanelUnchanged) {
    writeFile("XYscale.txt", "200.5 \t-10.25\n300");
    openChart();
    EXPECT_EQ(strip()->yMin(), -10.25);
    EXPECT_EQ(strip()->yMax(), 200.5);
    EXPECT_EQ(strip()->pointsPerScreen(), 300);
    // Whatever the file holds: values its fields round, values the chart
    // cannot take (an empty range, no points, too many points).
    for (const std::string content : {"200.5 \t-10.25\n300", "123.456789012 -0.0000001 250\n",
                                      "50 50 0\n", "1e3 -1e3 99999\n", "80\n"}) {
        SCOPED_TRACE(content);
        writeFile("XYscale.txt", content);
        openChart();
        commit(ChartPanel::handle, ChartPanel::yScaleButton);
        commit(ChartYscalePanel::handle, ChartYscalePanel::closeButton);
        EXPECT_EQ(readFile("XYscale.txt"), content);
    }
}

TEST_F(ChartPanelTest, FieldsLeftAloneKeepTheirExactValue) {
    writeFile("XYscale.txt", "123.456789012 -0.0000001 250\n");
    openChart();
    commit(ChartPanel::handle, ChartPanel::yScaleButton);
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::pointsNumeric, 400);
    commit(ChartYscalePanel::handle, ChartYscalePanel::closeButton);
    EXPECT_EQ(strip()->yMax(), 123.456789012);
    EXPECT_EQ(strip()->yMin(), -0.0000001);
    EXPECT_EQ(strip()->pointsPerScreen(), 400);
    EXPECT_EQ(readFile("XYscale.txt"), "123.456789 -0.000000 400 1\n") << "still auto-scaled";
}

TEST_F(ChartPanelTest, YScalePanelStartsFromTheChartAndSavesItsFields) {
    writeFile("XYscale.txt", "150");
    openChart();
    EXPECT_EQ(strip()->yMax(), 150) << "one value changes Y maximum only";
    EXPECT_EQ(strip()->yMin(), 0) << "the panel file's default stays";
    // The chart changed since the file was read: the panel shows the chart.
    SetAxisScalingMode(ChartPanel::handle, ChartPanel::stripChart, VAL_LEFT_YAXIS, VAL_MANUAL, 20,
                       80);
    commit(ChartPanel::handle, ChartPanel::yScaleButton);
    EXPECT_EQ(value(ChartYscalePanel::handle, ChartYscalePanel::yMaxNumeric), 80);
    EXPECT_EQ(value(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric), 20);
    std::string shown;
    GetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMaxNumeric, &shown);
    EXPECT_EQ(shown, "80") << "no string of zeros";
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric, 20.25);
    GetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric, &shown);
    EXPECT_EQ(shown, "20.25");
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric, 20.0);
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::pointsNumeric, 600);
    commit(ChartYscalePanel::handle, ChartYscalePanel::closeButton);
    EXPECT_EQ(strip()->pointsPerScreen(), 600);
    EXPECT_EQ(readFile("XYscale.txt"), "80.000000 20.000000 600 0\n") << "a fixed range";
}

TEST_F(ChartPanelTest, EachTickPlotsSvThenPvOnce) {
    shortenTimeOut();
    openChart();
    plot(1);
    sim->clearRequestLog();
    tick();
    const auto log = sim->requestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].substr(0, 17), "01 03 10 01 00 01");
    EXPECT_EQ(log[1].substr(0, 17), "01 03 10 00 00 01");
    EXPECT_EQ(strip()->pointCount(0), 1);
    EXPECT_EQ(strip()->pointCount(1), 1);
    EXPECT_FLOAT_EQ(float(strip()->series(0)->at(0).y()), 100.0f);
    EXPECT_FLOAT_EQ(float(strip()->series(1)->at(0).y()), 98.7f);
    EXPECT_DOUBLE_EQ(value(ChartPanel::handle, ChartPanel::svIndicator), 100.0);
    EXPECT_NEAR(value(ChartPanel::handle, ChartPanel::pvIndicator), 98.7, 1e-6);

    // A silent controller leaves a gap, not an old value under a new time.
    sim->dropReplies(retry::kReadAttempts);
    tick();
    EXPECT_EQ(strip()->pointCount(0), 1);
    EXPECT_TRUE(dimmed(ChartPanel::handle, ChartPanel::pvIndicator));
    tick();
    EXPECT_EQ(strip()->pointCount(1), 2);
    EXPECT_FALSE(dimmed(ChartPanel::handle, ChartPanel::pvIndicator));
    ASSERT_EQ(strip()->series(1)->count(), 3);
    EXPECT_TRUE(std::isnan(strip()->series(1)->at(1).y())) << "the line breaks where it failed";

    commit(ChartPanel::handle, ChartPanel::clearButton);
    EXPECT_EQ(strip()->pointCount(0), 0);
}

// The chart's time is the sample's time: a shorter interval while plotting
// re-times no earlier point, so the trace never runs back over itself.
TEST_F(ChartPanelTest, IntervalChangeWhilePlottingKeepsEarlierPointsInPlace) {
    openChart();
    plot(1);
    for (int i = 0; i < 3; ++i)
        tick();
    QList<QPointF> before = strip()->series(1)->points();
    ASSERT_EQ(before.size(), 3);
    commit(ChartPanel::handle, ChartPanel::logSetupButton);
    SetCtrlVal(LogSetupPanel::handle, LogSetupPanel::intervalKnob, 0.5);
    commit(LogSetupPanel::handle, LogSetupPanel::exitButton);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, 3600);
    tick();
    const QList<QPointF> after = strip()->series(1)->points();
    ASSERT_EQ(after.size(), 4) << "one more point, and no break";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(after[i], before[i]);
    EXPECT_GE(after[3].x(), after[2].x());

    // A stop and restart leaves a gap.
    plot(0);
    plot(1);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, 3600);
    tick();
    const QList<QPointF> restarted = strip()->series(1)->points();
    ASSERT_EQ(restarted.size(), 6);
    EXPECT_TRUE(std::isnan(restarted[4].y()));
    EXPECT_GE(restarted[5].x(), after[3].x());
}

TEST_F(ChartPanelTest, PlottingLocksThePvSwitchAndTakesOverPolling) {
    SetCtrlVal(MainPanel::handle, MainPanel::pvReadSwitch, 1);
    SetCtrlAttribute(MainPanel::handle, MainPanel::pvPollTimer, ATTR_ENABLED, 1);
    openChart();
    EXPECT_FALSE(ticking(ChartPanel::handle, ChartPanel::chartTimer));
    plot(1);
    EXPECT_EQ(objects().chart.state.plotOn, 1);
    EXPECT_TRUE(ticking(ChartPanel::handle, ChartPanel::chartTimer));
    EXPECT_EQ(value(MainPanel::handle, MainPanel::pvReadSwitch), 0);
    EXPECT_TRUE(dimmed(MainPanel::handle, MainPanel::pvReadSwitch));
    EXPECT_FALSE(ticking(MainPanel::handle, MainPanel::pvPollTimer));
    EXPECT_TRUE(dimmed(MainPanel::handle, MainPanel::pvDisplay));
    EXPECT_FALSE(visible(LogSetupPanel::handle, LogSetupPanel::logSwitch));
    EXPECT_TRUE(visible(LogSetupPanel::handle, LogSetupPanel::switchPlaceholder));

    sim->setReg(0x1000, 991);
    plot(0);
    EXPECT_FALSE(ticking(ChartPanel::handle, ChartPanel::chartTimer));
    EXPECT_FALSE(dimmed(MainPanel::handle, MainPanel::pvReadSwitch));
    // Read PV comes back by itself, with a reading at once, not a grey stale one.
    EXPECT_EQ(value(MainPanel::handle, MainPanel::pvReadSwitch), 1);
    EXPECT_TRUE(ticking(MainPanel::handle, MainPanel::pvPollTimer));
    EXPECT_FALSE(dimmed(MainPanel::handle, MainPanel::pvDisplay));
    EXPECT_DOUBLE_EQ(shownPv(), 99.1);
    EXPECT_TRUE(visible(LogSetupPanel::handle, LogSetupPanel::logSwitch));

    rightClick(ChartPanel::handle, ChartPanel::plotButton);
    rightClick(ChartPanel::handle, ChartPanel::exitButton);
    EXPECT_EQ(popupTitles(), (std::vector<std::string>{"<Plot> Help", "<Chart Exit> Help"}));
    EXPECT_NE(popups.shown[0].text.find("\t\t\t\t\t\t  the Plot button is ON, the data is logged; "
                                        "and the LED is on. \n"),
              std::string::npos);
}

TEST_F(ChartPanelTest, IntervalChangeReappliesTimerGainAndWidth) {
    openChart();
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, 7);
    commit(ChartPanel::handle, ChartPanel::logSetupButton);
    commit(LogSetupPanel::handle, LogSetupPanel::exitButton);
    EXPECT_EQ(attribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL), 7)
        << "an unchanged knob touches nothing";

    commit(ChartPanel::handle, ChartPanel::logSetupButton);
    SetCtrlVal(LogSetupPanel::handle, LogSetupPanel::intervalKnob, 2.5);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::stripChart, ATTR_POINTS_PER_SCREEN, 50);
    commit(LogSetupPanel::handle, LogSetupPanel::exitButton);
    EXPECT_EQ(attribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL), 2.5);
    EXPECT_EQ(attribute(ChartPanel::handle, ChartPanel::stripChart, ATTR_XAXIS_GAIN), 2.5);
    EXPECT_EQ(strip()->pointsPerScreen(), objects().chart.state.scale.pointsPerScreen);
    EXPECT_NE(strip()->pointsPerScreen(), 50);
}

} // namespace

// The chart's own windows, Y Scale and Data Log Setup, are laid out as every
// other window: their controls keep the window's margin from its edges.
TEST_F(ChartPanelTest, ChildWindowsHaveAWindowsMargins) {
    openChart();
    const QMargins window = panelRoot(ChartPanel::handle)->layout()->contentsMargins();
    ASSERT_FALSE(window.isNull());
    for (const auto& [opener, panel] :
         {std::pair{ChartPanel::yScaleButton, ChartYscalePanel::handle},
          {ChartPanel::logSetupButton, LogSetupPanel::handle}}) {
        commit(ChartPanel::handle, opener);
        QWidget* root = panelRoot(panel);
        ASSERT_TRUE(root && root->isVisible()) << panel;
        EXPECT_EQ(root->layout()->contentsMargins(), window) << panel;
        RemovePopup(0);
    }
}
