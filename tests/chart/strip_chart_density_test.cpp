// A full screen of points is drawn reduced to the chart's pixel columns
// without losing what the operator must see.
#include "chart/panel/ids/chart_panel.h"
#include "support/gui_fixture.h"
#include "widgets/strip_chart/strip_chart.h"

#include <QLineSeries>

#include <algorithm>

namespace {

class StripChartDensityTest : public GuiTest {};

TEST_F(StripChartDensityTest, DenseTraceKeepsSpikesAndTheNewestPoint) {
    const int chart = load(ChartPanel::file);
    auto* strip = qobject_cast<StripChart*>(controlWidget(chart, ChartPanel::stripChart));
    ASSERT_NE(strip, nullptr);
    strip->resize(800, 400);
    strip->setPointsPerScreen(1000000);
    EXPECT_EQ(strip->pointsPerScreen(), StripChart::kMaxPoints) << "no wider than the history";
    const int n = StripChart::kMaxPoints;
    for (int i = 0; i < n; ++i) {
        const float v[2] = {100.0f, i == 4321 ? 500.0f : (i == 777 ? -50.0f : float(i % 7))};
        strip->plot(v, 2, i);
    }
    EXPECT_EQ(strip->pointCount(1), n);
    const QLineSeries* pv = strip->series(1);
    ASSERT_LT(pv->count(), n / 2) << "drawn reduced";
    double hi = -1e9, lo = 1e9;
    for (int i = 0; i < pv->count(); ++i) {
        hi = std::max(hi, pv->at(i).y());
        lo = std::min(lo, pv->at(i).y());
        if (i > 0) {
            EXPECT_LT(pv->at(i - 1).x(), pv->at(i).x()) << "still in time order";
        }
    }
    EXPECT_EQ(hi, 500.0);
    EXPECT_EQ(lo, -50.0);
    EXPECT_EQ(pv->at(pv->count() - 1).y(), float((n - 1) % 7));

    // Full: the oldest points go, in one piece.
    const float v[2] = {100.0f, 1.0f};
    strip->plot(v, 2, n);
    EXPECT_EQ(strip->pointCount(1), n - ChartHistory::kDropChunk + 1);
}

} // namespace
