// The strip chart holds one screen per trace however long it runs.
#include "chart/ids/chart_panel.h"
#include "runtime/strip_chart.h"
#include "support/gui_fixture.h"

#include <QLineSeries>

#include <cmath>

namespace {

class StripChartTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        chart = load(ChartPanel::file);
        strip = qobject_cast<StripChart*>(controlWidget(chart, ChartPanel::stripChart));
        ASSERT_NE(strip, nullptr);
    }
    int chart = 0;
    StripChart* strip = nullptr;
};

TEST_F(StripChartTest, KeepsOneScreenAndScrolls) {
    ASSERT_EQ(SetCtrlAttribute(chart, ChartPanel::stripChart, ATTR_POINTS_PER_SCREEN, 20), 0);
    ASSERT_EQ(SetCtrlAttribute(chart, ChartPanel::stripChart, ATTR_XAXIS_GAIN, 0.5), 0);
    postTask([this] {
        for (int i = 0; i < 250; ++i) {
            const float v[2] = {100.0f, float(i)};
            PlotStripChart(chart, ChartPanel::stripChart, v, 2, 0.5 * i);
        }
    });
    ASSERT_TRUE(waitIdle());
    for (int trace = 0; trace < 2; ++trace)
        EXPECT_EQ(strip->pointCount(trace), 20);
    const QLineSeries* pv = strip->series(1);
    EXPECT_EQ(pv->at(19).y(), 249.0) << "newest point last";
    EXPECT_EQ(pv->at(0).y(), 230.0) << "oldest points dropped";
    EXPECT_DOUBLE_EQ(pv->at(19).x() - pv->at(18).x(), 0.5);
    EXPECT_EQ(strip->series(0)->name(), "SV");
    EXPECT_EQ(pv->name(), "PV");
    EXPECT_NE(strip->series(0)->pen().color(), pv->pen().color());

    ASSERT_EQ(ClearStripChart(chart, ChartPanel::stripChart), 0);
    EXPECT_EQ(strip->pointCount(0), 0);
    EXPECT_EQ(strip->pointCount(1), 0);
}

// Each point keeps the time its sample was taken: a new interval re-times
// no earlier point and breaks nothing; missing samples break the line.
TEST_F(StripChartTest, PointsKeepTheirOwnTime) {
    strip->setPointsPerScreen(100);
    strip->setXGain(5.0);
    const float v[2] = {100.0f, 50.0f};
    for (int i = 0; i < 10; ++i)
        strip->plot(v, 2, 1000.0 + 5.0 * i); // the axis counts from the first sample
    strip->setXGain(1.0);                    // a shorter interval while plotting
    strip->plot(v, 2, 1046.0);
    const QLineSeries* pv = strip->series(1);
    ASSERT_EQ(pv->count(), 11);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(pv->at(i).x(), 5.0 * i);
    EXPECT_EQ(pv->at(10).x(), 46.0) << "after the earlier points, not over them";
}

TEST_F(StripChartTest, StopAndRestartLeavesAGap) {
    strip->setPointsPerScreen(100);
    strip->setXGain(1.0);
    const float v[2] = {100.0f, 50.0f};
    for (int i = 0; i < 10; ++i)
        strip->plot(v, 2, i);
    strip->breakTraces(); // plotting stopped
    for (int i = 40; i < 45; ++i)
        strip->plot(v, 2, i);
    EXPECT_EQ(strip->pointCount(1), 15);
    for (int trace = 0; trace < 2; ++trace) {
        const QLineSeries* s = strip->series(trace);
        ASSERT_EQ(s->count(), 16);
        EXPECT_EQ(s->at(9).x(), 9.0);
        EXPECT_TRUE(std::isnan(s->at(10).y())) << "the line breaks in the gap";
        EXPECT_GT(s->at(10).x(), 9.0);
        EXPECT_LT(s->at(10).x(), 40.0);
        EXPECT_EQ(s->at(11).x(), 40.0);
    }
    // Once the points before the gap have scrolled away, nothing is left to separate.
    strip->setPointsPerScreen(5);
    EXPECT_EQ(strip->series(1)->count(), 5);

    // A clear starts the time axis afresh.
    strip->clear();
    strip->plot(v, 2, 500.0);
    EXPECT_EQ(strip->series(1)->at(0).x(), 0.0);
}

TEST_F(StripChartTest, DenseTraceKeepsItsGaps) {
    strip->resize(800, 400);
    strip->setPointsPerScreen(StripChart::kMaxPoints);
    strip->setXGain(1.0);
    for (int i = 0; i < StripChart::kMaxPoints; ++i) {
        const float v[2] = {100.0f, float(i % 5)};
        if (i == 6000) strip->breakTraces(); // 2000 s without samples
        strip->plot(v, 2, i < 6000 ? i : i + 2000);
    }
    const QLineSeries* pv = strip->series(1);
    ASSERT_LT(pv->count(), StripChart::kMaxPoints / 2) << "drawn reduced";
    int breaks = 0;
    double last = -1;
    for (int i = 0; i < pv->count(); ++i) {
        if (std::isnan(pv->at(i).y())) {
            ++breaks;
            EXPECT_GT(pv->at(i).x(), 5999.0);
            EXPECT_LT(pv->at(i).x(), 8000.0);
            continue;
        }
        EXPECT_GT(pv->at(i).x(), last) << "in time order";
        last = pv->at(i).x();
    }
    EXPECT_EQ(breaks, 1);
    EXPECT_EQ(last, StripChart::kMaxPoints - 1 + 2000.0);
}

TEST_F(StripChartTest, ManualYScaleWithSaneFallback) {
    ASSERT_EQ(
        SetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, VAL_MANUAL, 20, 180), 0);
    int mode = -1;
    double lo = 0, hi = 0;
    ASSERT_EQ(GetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, &mode, &lo, &hi),
              0);
    EXPECT_EQ(mode, VAL_MANUAL);
    EXPECT_EQ(lo, 20);
    EXPECT_EQ(hi, 180);
    // An inverted range from a damaged scale file must not collapse the plot.
    SetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, VAL_MANUAL, 50, 50);
    GetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_LT(lo, hi);
}

} // namespace
