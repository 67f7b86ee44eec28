#include "runtime/strip_chart.h"

#include <QChart>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>

namespace {

// A trace denser than the screen is drawn from the lowest and the highest
// point of each pixel column, in the order they came: the line looks the
// same as with every point, spikes included, at a fraction of the drawing.
QList<QPointF> reduceToColumns(const QList<QPointF>& points, int columns) {
    const qsizetype n = points.size();
    if (columns < 1 || n <= 2 * qsizetype(columns)) return points;
    QList<QPointF> out;
    out.reserve(2 * columns + 2);
    for (int c = 0; c < columns; ++c) {
        const qsizetype begin = n * c / columns;
        const qsizetype end = n * (c + 1) / columns;
        qsizetype lo = begin, hi = begin;
        for (qsizetype i = begin + 1; i < end; ++i) {
            if (points[i].y() < points[lo].y()) lo = i;
            if (points[i].y() > points[hi].y()) hi = i;
        }
        out.append(points[std::min(lo, hi)]);
        if (lo != hi) out.append(points[std::max(lo, hi)]);
    }
    // The newest point is where the eye looks; it is always drawn exactly.
    if (out.last() != points.last()) out.append(points.last());
    return out;
}

} // namespace

StripChart::StripChart(QWidget* parent) : QChartView(parent) {
    auto* chart = new QChart;
    const char* names[kTraces] = {"SV", "PV"};
    // SV is the target, PV what the process does: red against blue stays
    // readable for most colour-blind operators as well.
    const QColor colours[kTraces] = {QColor(200, 30, 30), QColor(20, 90, 220)};
    xAxis_ = new QValueAxis;
    yAxis_ = new QValueAxis;
    xAxis_->setTitleText(tr("Time (s)"));
    chart->addAxis(xAxis_, Qt::AlignBottom);
    chart->addAxis(yAxis_, Qt::AlignLeft);
    for (int i = 0; i < kTraces; ++i) {
        traces_[i] = new QLineSeries;
        traces_[i]->setName(names[i]);
        traces_[i]->setPen(QPen(colours[i], 2));
        chart->addSeries(traces_[i]);
        traces_[i]->attachAxis(xAxis_);
        traces_[i]->attachAxis(yAxis_);
    }
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignTop);
    setChart(chart);
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(300, 200);
    setYRange(yMin_, yMax_);
    refresh();
}

void StripChart::setPointsPerScreen(int n) {
    pointsPerScreen_ = n > 0 ? std::min(n, kMaxPoints) : kDefaultPoints;
    trim();
    refresh();
}

void StripChart::setXGain(double secondsPerPoint) {
    xGain_ = secondsPerPoint > 0 ? secondsPerPoint : 1.0;
    refresh();
}

void StripChart::setYRange(double min, double max) {
    // An empty or inverted range would collapse the plot; fall back to 0..100.
    if (!(min < max)) {
        min = 0.0;
        max = 100.0;
    }
    yMin_ = min;
    yMax_ = max;
    if (!autoscale_) yAxis_->setRange(min, max);
}

void StripChart::setAutoscale(bool on) {
    autoscale_ = on;
    if (on)
        refresh();
    else
        yAxis_->setRange(yMin_, yMax_);
}

void StripChart::plot(const float* values, int count) {
    const double x = double(plotted_) * xGain_;
    ++plotted_;
    for (int i = 0; i < kTraces && i < count; ++i)
        points_[i].append(QPointF(x, values[i]));
    trim();
    refresh();
}

void StripChart::clear() {
    plotted_ = 0;
    for (auto& p : points_)
        p.clear();
    refresh();
}

int StripChart::pointCount(int trace) const {
    return trace >= 0 && trace < kTraces ? int(points_[trace].size()) : 0;
}

QLineSeries* StripChart::series(int trace) const {
    return trace >= 0 && trace < kTraces ? traces_[trace] : nullptr;
}

void StripChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    refresh();
}

void StripChart::trim() {
    for (auto& p : points_)
        if (p.size() > pointsPerScreen_) p.remove(0, p.size() - pointsPerScreen_);
}

void StripChart::refresh() {
    // replace() hands the series the whole screen at once: one repaint per
    // plot instead of one per point.
    // The plot area is laid out lazily; the view's width bounds it from above.
    const int columns = std::max(int(chart()->plotArea().width()), width());
    for (int i = 0; i < kTraces; ++i)
        traces_[i]->replace(reduceToColumns(points_[i], columns));
    const double first = points_[0].isEmpty() ? 0.0 : points_[0].first().x();
    xAxis_->setRange(first, first + std::max(1, pointsPerScreen_ - 1) * xGain_);
    if (!autoscale_) return;
    double lo = 0, hi = 0;
    bool any = false;
    for (const auto& trace : points_)
        for (const QPointF& p : trace) {
            lo = any ? std::min(lo, p.y()) : p.y();
            hi = any ? std::max(hi, p.y()) : p.y();
            any = true;
        }
    if (!any || !(lo < hi)) {
        lo = any ? lo - 1.0 : 0.0;
        hi = any ? hi + 1.0 : 100.0;
    }
    yAxis_->setRange(lo, hi);
}
