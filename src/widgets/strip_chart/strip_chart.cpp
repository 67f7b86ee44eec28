#include "widgets/strip_chart/strip_chart.h"

#include "base/time_text.h"

#include <QCategoryAxis>
#include <QChart>
#include <QDateTime>
#include <QLineSeries>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

// Roughly how far apart ticks stand, in pixels, so their labels never touch.
constexpr double kTimeTickPixels = 110;
constexpr double kValueTickPixels = 45;

double wallMinusSampleNow() {
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - SampleTime();
}

// Puts ticks on a category axis, one label per tick value; unchanged ticks
// are left alone, so a redraw that moves nothing relays nothing out.
void showTicks(QCategoryAxis* axis, double min, double max, const std::vector<AxisTick>& ticks) {
    QStringList labels;
    for (const AxisTick& t : ticks) {
        QString label = QString::fromStdString(t.label);
        // Labels name the categories and must differ; a clock set back can
        // repeat one.
        while (labels.contains(label))
            label += QChar(0x200B);
        labels.append(label);
    }
    bool same = axis->categoriesLabels() == labels;
    for (qsizetype i = 0; same && i < labels.size(); ++i)
        same = axis->endValue(labels[i]) == ticks[size_t(i)].at;
    if (!same) {
        for (const QString& old : axis->categoriesLabels())
            axis->remove(old);
        for (qsizetype i = 0; i < labels.size(); ++i)
            axis->append(labels[i], ticks[size_t(i)].at);
    }
    axis->setStartValue(min);
    axis->setRange(min, max);
}

QCategoryAxis* newAxis() {
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setGridLineColor(QColor(215, 215, 215));
    return axis;
}

} // namespace

StripChart::StripChart(QWidget* parent) : QChartView(parent) {
    auto* chart = new QChart;
    const char* names[kTraces] = {"SV", "PV"};
    // SV is the target, PV what the process does: red against blue stays
    // readable for most colour-blind operators as well.
    const QColor colours[kTraces] = {QColor(200, 30, 30), QColor(20, 90, 220)};
    xAxis_ = newAxis();
    yAxis_ = newAxis();
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
    // Hovering shows the cursor without a button held.
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    clocks_ = {wallMinusSampleNow, localUtcOffset};
    setUnit(unit_);
    updateScreen();
    redraw();
}

void StripChart::setPointsPerScreen(int n) {
    pointsPerScreen_ = n > 0 ? std::min(n, kMaxPoints) : kDefaultPoints;
    updateScreen();
}

void StripChart::setXGain(double secondsPerPoint) {
    xGain_ = secondsPerPoint > 0 && std::isfinite(secondsPerPoint) ? secondsPerPoint : 1.0;
    updateScreen();
}

void StripChart::updateScreen() {
    view_.setScreen(std::max(1, pointsPerScreen_ - 1) * xGain_);
    redrawSoon();
}

bool StripChart::setYRange(double min, double max) {
    if (!(min < max) || !std::isfinite(min) || !std::isfinite(max)) return false;
    yMin_ = min;
    yMax_ = max;
    redrawSoon();
    return true;
}

void StripChart::setAutoscale(bool on) {
    autoscale_ = on;
    redrawSoon();
}

void StripChart::setUnit(const QString& unit) {
    unit_ = unit;
    yAxis_->setTitleText(unit.isEmpty() ? tr("SV, PV") : tr("SV, PV (%1)").arg(unit));
    viewport()->update();
}

void StripChart::setClocks(Clocks clocks) {
    clocks_ = std::move(clocks);
    redrawSoon();
}

void StripChart::plot(const float* values, int count, double seconds) {
    if (!hasOrigin_) {
        origin_ = seconds;
        hasOrigin_ = true;
    }
    // A point keeps its own time; a clock that stood still cannot reorder them.
    const double x = std::max(seconds - origin_, history_.lastX());
    // The wall clock at the sample: both clocks are read together now, so
    // the time it took to get here does not matter.
    const double wallOffset = origin_ + clocks_.wallMinusSample();
    history_.append(x, values, count, wallOffset);
    redrawSoon();
}

void StripChart::clear() {
    hasOrigin_ = false;
    history_.clear();
    view_.follow();
    redrawSoon();
}

int StripChart::pointCount(int trace) const {
    return trace >= 0 && trace < kTraces ? int(history_.size()) : 0;
}

ValueScale StripChart::shownScale() {
    if (redrawPending_) redraw();
    return shown_;
}

QLineSeries* StripChart::series(int trace) {
    if (redrawPending_) redraw();
    return trace >= 0 && trace < kTraces ? traces_[trace] : nullptr;
}

void StripChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    // The reduction to pixel columns and the number of ticks follow the width.
    redrawSoon();
}

void StripChart::redrawSoon() {
    if (redrawPending_) return;
    redrawPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (redrawPending_) redraw();
        },
        Qt::QueuedConnection);
}

void StripChart::redraw() {
    redrawPending_ = false;
    // The plot area is laid out lazily; the view's width bounds it from above.
    const int columns = std::max(int(chart()->plotArea().width()), width());
    window_ = view_.window(history_.firstX(), history_.lastX());
    QList<QPointF> drawn[kTraces];
    for (int i = 0; i < kTraces; ++i) {
        history_.drawable(i, window_.left, window_.right, columns, drawn[i]);
        // replace() hands the series the whole view at once: one repaint
        // per redraw instead of one per point.
        traces_[i]->replace(drawn[i]);
    }
    showTimeScale();
    showValueScale(drawn);
    viewport()->update();
}

void StripChart::showTimeScale() {
    std::vector<ClockSetting> clock;
    for (const ClockStretch& s : history_.clock())
        clock.push_back({history_.x(s.first), s.offset});
    const double width = std::max(chart()->plotArea().width(), 0.6 * this->width());
    const TimeScale scale = timeScale(window_.left, window_.right, int(width / kTimeTickPixels),
                                      clock, clocks_.utcOffset);
    xAxis_->setTitleText(QString::fromStdString(scale.title));
    showTicks(xAxis_, window_.left, window_.right, scale.ticks);
}

void StripChart::showValueScale(const QList<QPointF>* drawn) {
    const double height = std::max(chart()->plotArea().height(), 0.6 * this->height());
    const int ticks = int(height / kValueTickPixels);
    double lo = 0, hi = 0;
    bool any = false;
    for (int i = 0; autoscale_ && i < kTraces; ++i)
        for (const QPointF& p : drawn[i]) {
            // Only what is in view; the points beyond the edges are there
            // for the line alone.
            if (std::isnan(p.y()) || p.x() < window_.left || p.x() > window_.right) continue;
            lo = any ? std::min(lo, p.y()) : p.y();
            hi = any ? std::max(hi, p.y()) : p.y();
            any = true;
        }
    // Nothing in view to scale to: the fixed range stands in.
    shown_ = any ? autoValueScale(lo, hi, ticks) : fixedValueScale(yMin_, yMax_, ticks);
    showTicks(yAxis_, shown_.min, shown_.max, shown_.ticks);
}
