// The whole run kept and drawn reduced to pixel columns: the reduction shows
// exactly the lowest and highest point of every column, breaks included, and
// a full history lets its oldest points go without losing track.
#include "widgets/strip_chart/strip_chart_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

namespace {

void append(ChartHistory& h, double x, float sv, float pv, double wallOffset = 0) {
    const float v[2] = {sv, pv};
    h.append(x, v, 2, wallOffset);
}

// Every drawn point of the window, by pixel column, against every point.
void expectColumnsExact(const ChartHistory& h, int trace, double left, double right, int columns,
                        const std::set<qsizetype>& breaks) {
    QList<QPointF> drawn;
    h.drawable(trace, left, right, columns, drawn);
    const double perColumn = columns / (right - left);
    auto columnOf = [&](double x) { return (long long)std::floor((x - left) * perColumn); };
    std::vector<float> lo(size_t(columns), INFINITY), hi(size_t(columns), -INFINITY);
    int gapsInView = 0;
    for (qsizetype i = 0; i < h.size(); ++i) {
        const long long c = columnOf(h.x(i));
        if (c < 0 || c >= columns) continue;
        lo[size_t(c)] = std::min(lo[size_t(c)], h.y(trace, i));
        hi[size_t(c)] = std::max(hi[size_t(c)], h.y(trace, i));
        if (breaks.count(i) && columnOf(h.x(i - 1)) >= 0) ++gapsInView;
    }
    std::vector<float> drawnLo(size_t(columns), INFINITY), drawnHi(size_t(columns), -INFINITY);
    int nans = 0;
    double lastX = -INFINITY;
    for (const QPointF& p : drawn) {
        if (std::isnan(p.y())) {
            ++nans;
            continue;
        }
        ASSERT_GE(p.x(), lastX) << "in time order";
        lastX = p.x();
        const long long c = columnOf(p.x());
        if (c < 0 || c >= columns) continue;
        drawnLo[size_t(c)] = std::min(drawnLo[size_t(c)], float(p.y()));
        drawnHi[size_t(c)] = std::max(drawnHi[size_t(c)], float(p.y()));
    }
    for (int c = 0; c < columns; ++c) {
        ASSERT_EQ(drawnLo[size_t(c)], lo[size_t(c)]) << "column " << c;
        ASSERT_EQ(drawnHi[size_t(c)], hi[size_t(c)]) << "column " << c;
    }
    EXPECT_EQ(nans, gapsInView);
    EXPECT_LE(drawn.size(), 4 * columns + 8);
}

TEST(ChartHistory, EachColumnShowsExactlyItsLowestAndHighestPoint) {
    std::mt19937 rng(11);
    std::normal_distribution<float> noise(0, 1);
    ChartHistory h;
    std::set<qsizetype> breaks;
    float pv = 25;
    for (qsizetype i = 0; i < 300000; ++i) {
        if (i % 70001 == 70000) { // a few gaps, far apart
            h.breakHere();
            breaks.insert(i);
        }
        pv += noise(rng);
        if (i == 123457) pv += 500; // one spike
        append(h, double(i), 100.0f + float(i / 50000), pv);
        if (i == 123457) pv -= 500;
    }
    expectColumnsExact(h, 1, 0, 299999, 997, breaks);       // the whole run
    expectColumnsExact(h, 1, 60000, 151234.5, 640, breaks); // a stretch of it
    expectColumnsExact(h, 0, 0, 299999, 800, breaks);
    // A few points on many columns: every point, as it is.
    QList<QPointF> drawn;
    h.drawable(1, 1000, 1100, 800, drawn);
    ASSERT_EQ(drawn.size(), 103); // one beyond each edge
    EXPECT_EQ(drawn[1], QPointF(1000, h.y(1, 1000)));
}

TEST(ChartHistory, AFullHistoryLetsTheOldestGoInOnePiece) {
    ChartHistory h;
    const qsizetype n = ChartHistory::kCapacity;
    for (qsizetype i = 0; i < n; ++i) {
        if (i == 100000) h.breakHere();
        // A spike in the piece that goes and one in what stays.
        const float pv = i == 10 ? 900.0f : (i == 500000 ? 700.0f : float(i % 100));
        append(h, double(i), 1.0f, pv, i < 200000 ? 1000.0 : 1000.0 - 3600);
    }
    ASSERT_EQ(h.size(), n);
    EXPECT_EQ(h.clock().size(), 2u);
    append(h, double(n), 1.0f, 5.0f, 1000.0 - 3600);
    EXPECT_EQ(h.size(), n - ChartHistory::kDropChunk + 1);
    EXPECT_EQ(h.firstX(), double(ChartHistory::kDropChunk));
    EXPECT_EQ(h.lastX(), double(n));

    QList<QPointF> drawn;
    h.drawable(1, h.firstX(), h.lastX(), 1000, drawn);
    double hi = 0;
    for (const QPointF& p : drawn)
        hi = std::max(hi, p.y());
    EXPECT_EQ(hi, 700.0) << "the summary moved with the points";
    // The gap and the clock setting keep their places.
    h.drawable(1, 99990, 100010, 1000, drawn);
    EXPECT_EQ(std::count_if(drawn.begin(), drawn.end(),
                            [](const QPointF& p) { return std::isnan(p.y()); }),
              1);
    EXPECT_EQ(h.wallTime(150000), 151000.0);
    EXPECT_EQ(h.wallTime(300000), 300000.0 + 1000 - 3600);
}

TEST(ChartHistory, WallTimeNearestPointAndMissingValues) {
    ChartHistory h;
    for (int i = 0; i < 10; ++i)
        append(h, i, 1, 2, 1000.0 + 0.01 * i); // drift: the same setting
    append(h, 10, 1, 2, 1000.0 - 3600);        // set back an hour
    EXPECT_EQ(h.clock().size(), 2u);
    EXPECT_EQ(h.wallTime(5), 1005.0);
    EXPECT_EQ(h.wallTime(10), 10.0 + 1000 - 3600);

    EXPECT_EQ(h.nearest(1.4), 1);
    EXPECT_EQ(h.nearest(1.6), 2);
    EXPECT_EQ(h.nearest(-5), 0);
    EXPECT_EQ(h.nearest(99), 10);
    EXPECT_EQ(ChartHistory().nearest(1), -1);

    // A point with one value only: the other trace has nothing there.
    const float sv = 7;
    h.append(11, &sv, 1, 1000.0 - 3600);
    QList<QPointF> drawn;
    h.drawable(1, 0, 20, 800, drawn);
    EXPECT_EQ(drawn.last(), QPointF(10, 2));
    h.drawable(0, 0, 20, 800, drawn);
    EXPECT_EQ(drawn.last(), QPointF(11, 7));

    h.clear();
    EXPECT_TRUE(h.empty());
    EXPECT_TRUE(h.clock().empty());
}

} // namespace
