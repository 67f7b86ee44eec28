#include "runtime/strip_chart.h"

#include <QChart>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// The points a trace draws: from the left edge of the screen on (with the
// one point before it, so the line enters at the edge), with a NaN point
// where the trace breaks, which the chart draws as a gap. A trace denser
// than the screen is drawn from the lowest and the highest point of each
// pixel column, in the order they came: the line looks the same as with
// every point, spikes included, at a fraction of the drawing.
QList<QPointF> drawable(const QList<QPointF>& points, const QList<double>& breaks, double left,
                        double right, int columns) {
    QList<QPointF> out;
    const qsizetype n = points.size();
    if (n == 0) return out;
    auto firstShown = std::lower_bound(points.begin(), points.end(), left,
                                       [](const QPointF& p, double x) { return p.x() < x; });
    const qsizetype begin = std::max<qsizetype>(0, (firstShown - points.begin()) - 1);
    const bool dense = columns >= 1 && n - begin > 2 * qsizetype(columns) && right > left;
    const double perColumn = dense ? double(columns) / (right - left) : 0.0;
    auto nextBreak = std::upper_bound(breaks.begin(), breaks.end(), points[begin].x());
    out.reserve(dense ? 2 * columns + 2 * breaks.size() + 2 : n - begin + breaks.size());

    qsizetype lo = -1, hi = -1; // lowest and highest point of the open column
    long long column = 0;
    auto closeColumn = [&] {
        if (lo < 0) return;
        out.append(points[std::min(lo, hi)]);
        if (lo != hi) out.append(points[std::max(lo, hi)]);
        lo = hi = -1;
    };
    for (qsizetype i = begin; i < n; ++i) {
        const QPointF& p = points[i];
        const bool gap = nextBreak != breaks.end() && *nextBreak <= p.x();
        while (nextBreak != breaks.end() && *nextBreak <= p.x())
            ++nextBreak;
        const long long c = dense ? (long long)std::floor((p.x() - left) * perColumn) : i;
        if (gap || c != column || lo < 0) {
            closeColumn();
            if (gap && !out.isEmpty()) out.append(QPointF((out.last().x() + p.x()) / 2, qQNaN()));
            column = c;
            lo = hi = i;
            continue;
        }
        if (p.y() < points[lo].y()) lo = i;
        if (p.y() > points[hi].y()) hi = i;
    }
    closeColumn();
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

void StripChart::plot(const float* values, int count, double seconds) {
    if (!hasOrigin_) {
        origin_ = seconds;
        hasOrigin_ = true;
    }
    const QList<QPointF>& newest = points_[0];
    const double last = newest.isEmpty() ? 0.0 : newest.last().x();
    // A point keeps its own time; a clock that stood still cannot reorder them.
    const double x = std::max(seconds - origin_, last);
    if (breakPending_ && !newest.isEmpty()) breaks_.append(x);
    breakPending_ = false;
    for (int i = 0; i < kTraces && i < count; ++i)
        points_[i].append(QPointF(x, values[i]));
    trim();
    refresh();
}

void StripChart::clear() {
    hasOrigin_ = false;
    breakPending_ = false;
    breaks_.clear();
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
    // A break at or before the oldest point kept separates nothing.
    const double oldest = points_[0].isEmpty() ? 0.0 : points_[0].first().x();
    while (!breaks_.isEmpty() && (points_[0].isEmpty() || breaks_.first() <= oldest))
        breaks_.removeFirst();
}

void StripChart::refresh() {
    // replace() hands the series the whole screen at once: one repaint per
    // plot instead of one per point.
    // The plot area is laid out lazily; the view's width bounds it from above.
    const int columns = std::max(int(chart()->plotArea().width()), width());
    // The screen fills from the left, then scrolls with the newest point.
    const double span = std::max(1, pointsPerScreen_ - 1) * xGain_;
    double left = 0.0;
    if (!points_[0].isEmpty()) {
        const double first = points_[0].first().x(), last = points_[0].last().x();
        left = last - first <= span ? first : last - span;
    }
    for (int i = 0; i < kTraces; ++i)
        traces_[i]->replace(drawable(points_[i], breaks_, left, left + span, columns));
    xAxis_->setRange(left, left + span);
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
