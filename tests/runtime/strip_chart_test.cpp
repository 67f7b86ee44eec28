// The strip chart holds one screen per trace however long it runs.
#include "runtime/ids/chart_panel.h"
#include "runtime/strip_chart.h"
#include "support/gui_fixture.h"

#include <QLineSeries>

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
            PlotStripChart(chart, ChartPanel::stripChart, v, 2);
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
