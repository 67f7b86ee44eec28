// The strip chart widget as loaded from the chart panel: it holds the whole
// run and shows one screen, scales itself to the data or takes a fixed
// range (never an upside-down one), labels its time axis with the wall
// clock, answers the wheel, a drag and a double click, reads out the sample
// under the cursor and saves its picture.
#include "chart/panel/ids/chart_panel.h"
#include "panelkit/strip_chart_calls.h"
#include "support/gui_fixture.h"
#include "widgets/strip_chart/strip_chart.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QWheelEvent>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

// Sample time 1000 s is 14:05:09 on 7 March 2026, an hour east of UTC.
constexpr double kStart = 1000.0;
constexpr double kWallAtStart = 1772888709.0;

class StripChartTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        chart = load(ChartPanel::file);
        strip = qobject_cast<StripChart*>(controlWidget(chart, ChartPanel::stripChart));
        ASSERT_NE(strip, nullptr);
        strip->setClocks({[] { return kWallAtStart - kStart; }, [](double) { return 3600L; }});
        strip->resize(900, 450);
    }
    void plot(double seconds, float sv, float pv) {
        const float v[2] = {sv, pv};
        strip->plot(v, 2, seconds);
    }
    // The pointer, as the operator moves it over the plot.
    QPointF plotPoint(double fraction) {
        strip->redraw();
        const QRectF area = strip->chart()->plotArea();
        return strip->mapFromScene(strip->chart()->mapToScene(
            QPointF(area.left() + fraction * area.width(), area.center().y())));
    }
    void mouse(QEvent::Type type, const QPointF& at, Qt::MouseButton button = Qt::LeftButton) {
        const Qt::MouseButtons held = type == QEvent::MouseMove ? Qt::MouseButtons(button)
                                      : type == QEvent::MouseButtonRelease ? Qt::NoButton
                                                                           : button;
        QMouseEvent e(type, at, strip->viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(strip->viewport(), &e);
    }
    void wheel(const QPointF& at, int delta) {
        QWheelEvent e(at, strip->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(strip->viewport(), &e);
    }
    void expectWindow(double left, double right) {
        strip->redraw();
        EXPECT_DOUBLE_EQ(strip->shownWindow().left, left);
        EXPECT_DOUBLE_EQ(strip->shownWindow().right, right);
    }
    int chart = 0;
    StripChart* strip = nullptr;
};

TEST_F(StripChartTest, HoldsTheWholeRunAndShowsOneScreen) {
    ASSERT_EQ(SetCtrlAttribute(chart, ChartPanel::stripChart, ATTR_POINTS_PER_SCREEN, 20), 0);
    ASSERT_EQ(SetCtrlAttribute(chart, ChartPanel::stripChart, ATTR_XAXIS_GAIN, 0.5), 0);
    postTask([this] {
        for (int i = 0; i < 250; ++i) {
            const float v[2] = {100.0f, float(i)};
            PlotStripChart(chart, ChartPanel::stripChart, v, 2, kStart + 0.5 * i);
        }
    });
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(strip->pointCount(0), 250) << "nothing scrolls out of memory";
    EXPECT_EQ(strip->pointCount(1), 250);
    const QLineSeries* pv = strip->series(1);
    EXPECT_DOUBLE_EQ(strip->shownWindow().left, 115.0) << "19 intervals of 0.5 s";
    EXPECT_DOUBLE_EQ(strip->shownWindow().right, 124.5);
    EXPECT_EQ(pv->at(pv->count() - 1).y(), 249.0) << "newest point last";
    EXPECT_EQ(pv->at(1).y(), 230.0) << "after the point the line enters by";
    EXPECT_DOUBLE_EQ(pv->at(2).x() - pv->at(1).x(), 0.5);
    EXPECT_EQ(strip->series(0)->name(), "SV");
    EXPECT_EQ(pv->name(), "PV");
    EXPECT_NE(strip->series(0)->pen().color(), pv->pen().color());

    ASSERT_EQ(ClearStripChart(chart, ChartPanel::stripChart), 0);
    EXPECT_EQ(strip->pointCount(0), 0);
    EXPECT_EQ(strip->series(1)->count(), 0);
}

// Each point keeps the time its sample was taken: a new interval re-times
// no earlier point and breaks nothing; missing samples break the line.
TEST_F(StripChartTest, PointsKeepTheirOwnTime) {
    strip->setPointsPerScreen(100);
    strip->setXGain(5.0);
    for (int i = 0; i < 10; ++i)
        plot(kStart + 5.0 * i, 100, 50); // the axis counts from the first sample
    strip->setXGain(1.0);                // a shorter interval while plotting
    plot(kStart + 46.0, 100, 50);
    const QLineSeries* pv = strip->series(1);
    ASSERT_EQ(pv->count(), 11);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(pv->at(i).x(), 5.0 * i);
    EXPECT_EQ(pv->at(10).x(), 46.0) << "after the earlier points, not over them";
}

TEST_F(StripChartTest, StopAndRestartLeavesAGap) {
    strip->setPointsPerScreen(100);
    strip->setXGain(1.0);
    for (int i = 0; i < 10; ++i)
        plot(kStart + i, 100, 50);
    strip->breakTraces(); // plotting stopped
    for (int i = 40; i < 45; ++i)
        plot(kStart + i, 100, 50);
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
    // With the gap at the left edge, the line still does not bridge it.
    strip->setPointsPerScreen(5);
    const QLineSeries* pv = strip->series(1);
    ASSERT_EQ(pv->count(), 7);
    EXPECT_TRUE(std::isnan(pv->at(1).y()));

    // A clear starts the time axis afresh.
    strip->clear();
    plot(500.0, 100, 50);
    EXPECT_EQ(strip->series(1)->at(0).x(), 0.0);
}

TEST_F(StripChartTest, AutoScalesToTheDataInViewOnRoundTicks) {
    EXPECT_TRUE(strip->autoscale()) << "the panel file starts it auto-scaled";
    strip->setPointsPerScreen(600);
    for (int i = 0; i < 300; ++i)
        plot(kStart + i, 25, 25);
    ValueScale shown = strip->shownScale();
    EXPECT_LT(shown.min, 25);
    EXPECT_GT(shown.max, 25);
    EXPECT_LE(shown.max - shown.min, 2) << "a trace at 25 is not flattened into a line";
    for (int i = 300; i < 600; ++i)
        plot(kStart + i, 80, i == 599 ? 78.0f : 22.0f + float(i - 300) * 0.19f);
    shown = strip->shownScale();
    EXPECT_LE(shown.min, 22);
    EXPECT_GE(shown.max, 80);
    EXPECT_LE(shown.max - shown.min, 100);
    const QStringList labels = strip->valueAxis()->categoriesLabels();
    ASSERT_GE(labels.size(), 3);
    for (const QString& l : labels)
        EXPECT_EQ(std::fmod(l.toDouble(), 10.0), 0.0) << l.toStdString();
    int mode = -1;
    double lo = 1, hi = 0;
    GetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ(mode, VAL_AUTOSCALE);
    EXPECT_EQ(lo, shown.min) << "what the axis shows";
    EXPECT_EQ(hi, shown.max);

    // Browsing the flat part scales to it again.
    wheel(plotPoint(0.1), 4 * 120);
    EXPECT_LT(strip->shownWindow().right, 300);
    EXPECT_LE(strip->shownScale().max - strip->shownScale().min, 2);
}

TEST_F(StripChartTest, AFixedRangeIsTakenAndAnUpsideDownOneRefused) {
    ASSERT_EQ(
        SetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, VAL_MANUAL, 20, 180), 0);
    plot(kStart, 25, 25);
    int mode = -1;
    double lo = 0, hi = 0;
    ASSERT_EQ(GetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, &mode, &lo, &hi),
              0);
    EXPECT_EQ(mode, VAL_MANUAL);
    EXPECT_EQ(lo, 20);
    EXPECT_EQ(hi, 180);
    for (const QString& l : strip->valueAxis()->categoriesLabels()) {
        EXPECT_EQ(std::fmod(l.toDouble(), 10.0), 0.0) << l.toStdString();
        EXPECT_GE(l.toDouble(), 20);
        EXPECT_LE(l.toDouble(), 180);
    }

    // Not swapped, not replaced by some default: refused, and nothing changes.
    for (auto [min, max] : {std::pair{50.0, 50.0}, std::pair{90.0, 10.0}}) {
        EXPECT_LT(
            SetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, VAL_MANUAL, min, max),
            0);
        GetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, &mode, &lo, &hi);
        EXPECT_EQ(mode, VAL_MANUAL);
        EXPECT_EQ(lo, 20);
        EXPECT_EQ(hi, 180);
    }
    EXPECT_FALSE(strip->setYRange(0, NAN));
    // Auto-scaling needs no range; a good one is kept for later.
    ASSERT_EQ(
        SetAxisScalingMode(chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, VAL_AUTOSCALE, 90, 10),
        0);
    EXPECT_TRUE(strip->autoscale());
    EXPECT_EQ(strip->yMin(), 20);
}

TEST_F(StripChartTest, TimeAxisAndReadoutShowTheWallClock) {
    strip->redraw();
    EXPECT_EQ(strip->timeAxis()->titleText(), "") << "an empty chart names no time";
    strip->setPointsPerScreen(601);
    for (int i = 0; i <= 600; ++i)
        plot(kStart + i, 100, 98.7f);
    strip->redraw();
    EXPECT_EQ(strip->timeAxis()->titleText(), "Time, 2026-03-07");
    // As many ticks as the width has room for, on whole minutes: 14:06:00
    // is 51 s after the first sample.
    const QStringList labels = strip->timeAxis()->categoriesLabels();
    ASSERT_GE(labels.size(), 2);
    const QRegularExpression hhmm("^14:(0[6-9]|1[0-5])$");
    for (const QString& l : labels) {
        EXPECT_TRUE(hhmm.match(l).hasMatch()) << l.toStdString();
        EXPECT_EQ(std::fmod(strip->timeAxis()->endValue(l) - 51.0, 60.0), 0.0);
    }

    EXPECT_EQ(strip->readoutAt(5.2), "14:05:14   SV 100.0 °C   PV 98.7 °C");
    SetStripChartUnit(chart, ChartPanel::stripChart, "°F");
    EXPECT_EQ(strip->readoutAt(600), "14:15:09   SV 100.0 °F   PV 98.7 °F");
    EXPECT_EQ(strip->valueAxis()->titleText(), "SV, PV (°F)");
    EXPECT_EQ(StripChart().readoutAt(0), "") << "nothing to read out";

    // Hovering draws the cursor over the chart.
    const QImage before = strip->grab().toImage();
    mouse(QEvent::MouseMove, plotPoint(0.5), Qt::NoButton);
    EXPECT_NE(strip->grab().toImage(), before);
}

TEST_F(StripChartTest, WheelZoomsDragPansAndDoubleClickFollows) {
    strip->setPointsPerScreen(101);
    for (int i = 0; i < 400; ++i)
        plot(kStart + i, 100, float(i));
    strip->redraw();
    EXPECT_TRUE(strip->following());
    expectWindow(299, 399);

    wheel(plotPoint(0.5), 120); // one notch in, mid-plot
    EXPECT_FALSE(strip->following());
    EXPECT_NEAR(strip->shownWindow().left, 309, 0.5);
    EXPECT_NEAR(strip->shownWindow().right, 389, 0.5);
    plot(kStart + 400, 100, 400);
    // A browsed view stays put while points arrive: the line still ends
    // with the first point past its right edge.
    const double right = strip->shownWindow().right;
    const double last = strip->series(1)->at(strip->series(1)->count() - 1).x();
    EXPECT_GT(last, right);
    EXPECT_LE(last, right + 1);

    const ChartWindow before = strip->shownWindow();
    const QPointF from = plotPoint(0.5), to = plotPoint(0.75);
    mouse(QEvent::MouseButtonPress, from);
    mouse(QEvent::MouseMove, to);
    mouse(QEvent::MouseButtonRelease, to);
    // Dragged right (to within a pixel): earlier times come into view.
    EXPECT_NEAR(strip->shownWindow().left, before.left - 0.25 * before.span(),
                0.02 * before.span());

    mouse(QEvent::MouseButtonDblClick, to);
    EXPECT_TRUE(strip->following());
    expectWindow(300, 400);
}

TEST_F(StripChartTest, SavesItsPictureAsPngOrSaysWhyNot) {
    for (int i = 0; i < 50; ++i)
        plot(kStart + i, 100, float(i));
    char dir[] = "/tmp/q7chartpng.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/chart.png";
    std::string why;
    ASSERT_EQ(SaveStripChartImage(chart, ChartPanel::stripChart, path, &why), 0) << why;
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    const QImage image(QString::fromStdString(path));
    EXPECT_EQ(image.size(), strip->size() * strip->devicePixelRatio());

    EXPECT_LT(SaveStripChartImage(chart, ChartPanel::stripChart, path + ".d/none.png", &why), 0);
    EXPECT_FALSE(why.empty());
    std::remove(path.c_str());
    rmdir(dir);
}

} // namespace
