#include "history/chart/run_chart.h"

#include "base/number_text.h"
#include "history/run_text.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace {

constexpr double kShortestWindow = 10; // seconds
constexpr double kShortestRun = 60;

// One colour per zone, told apart in print as on the screen.
QColor zoneColor(std::size_t zone) {
    static const QColor colors[] = {QColor(0xd6, 0x27, 0x28), QColor(0x1f, 0x77, 0xb4),
                                    QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                                    QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                    QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf)};
    return colors[zone % (sizeof colors / sizeof colors[0])];
}

// "1:05" from the start; with seconds where the ticks are closer than a minute.
QString tickText(double seconds, bool withSeconds) {
    const auto rounded = roundedCount(seconds);
    if (!rounded) return QString();
    const long long s = *rounded;
    QString text = QString::number(s / 3600) + ":" + QString::number(s / 60 % 60 + 100).mid(1);
    if (withSeconds) text += ":" + QString::number(s % 60 + 100).mid(1);
    return text;
}

// The step between time ticks: the shortest of a person's round steps that
// keeps at most maxTicks of them in the window.
double timeStep(double span, int maxTicks) {
    static const double steps[] = {10,   15,   30,   60,    120,   300,   600,   900,
                                   1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800};
    for (double step : steps)
        if (span / step <= maxTicks) return step;
    return std::ceil(span / maxTicks / 86400) * 86400;
}

// The smallest of 1, 2 or 5 times a power of ten that is at least rough.
double niceStep(double rough) {
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= rough) return m * power;
    return 10 * power;
}

QString numberOf(double v) {
    return QString::fromStdString(formatFixed(v, 1));
}

} // namespace

RunChart::RunChart(QGraphicsItem* parent) : QChart(parent) {
    time_ = new QCategoryAxis(this);
    time_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    time_->setTitleText(tr("time from the start (H:MM)"));
    segments_ = new QCategoryAxis(this);
    segments_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    segments_->setGridLineVisible(false);
    segments_->setTitleText(tr("segment"));
    value_ = new QValueAxis(this);
    addAxis(time_, Qt::AlignBottom);
    addAxis(segments_, Qt::AlignTop);
    addAxis(value_, Qt::AlignLeft);
    legend()->setAlignment(Qt::AlignBottom);
    setMargins(QMargins(4, 4, 4, 4));
    rebuild();
}

void RunChart::setRun(RunChartData run) {
    run_ = std::move(run);
    overlays_.clear();
    rebuild();
    showWholeRun();
}

bool RunChart::addOverlay(RunChartData earlier) {
    if (overlays_.size() >= std::size_t(kMaxOverlays)) return false;
    overlays_.push_back(std::move(earlier));
    rebuild();
    return true;
}

void RunChart::clearOverlays() {
    overlays_.clear();
    rebuild();
}

double RunChart::fullLength() const {
    double length = run_.length;
    for (const RunChartData& o : overlays_)
        length = std::max(length, o.length);
    return std::max(length, kShortestRun);
}

void RunChart::showWholeRun() {
    setWindow(0, fullLength());
}

bool RunChart::setWindow(double from, double to) {
    if (!std::isfinite(from) || !std::isfinite(to) || !(from < to)) return false;
    const double full = fullLength();
    double width = std::clamp(to - from, kShortestWindow, full);
    from = std::clamp(from, 0.0, full - width);
    from_ = from;
    to_ = from + width;
    redraw();
    emit windowChanged(from_, to_);
    return true;
}

QLineSeries* RunChart::addLine(const QColor& color, qreal width, Qt::PenStyle style, bool legend,
                               const QString& name) {
    auto* series = new QLineSeries(this);
    QPen pen(color, width, style);
    pen.setCosmetic(true);
    series->setPen(pen);
    series->setName(name);
    addSeries(series);
    series->attachAxis(time_);
    series->attachAxis(value_);
    for (QLegendMarker* m : this->legend()->markers(series))
        m->setVisible(legend);
    return series;
}

RunChart::Pieces RunChart::addPieces(const RunChartData& data, const QColor& color, qreal width,
                                     Qt::PenStyle style, bool legend, const QString& name) {
    Pieces pieces;
    for (std::size_t i = 0; i <= data.breaks.size(); ++i)
        pieces.push_back(addLine(color, width, style, legend && i == 0, name));
    return pieces;
}

// The series are reduced to the chart's width: a wider chart draws more.
// Its width, not the plot's, is known as soon as it is resized, before any
// layout, so a chart rendered straight away (the report) is drawn to it.
void RunChart::resizeEvent(QGraphicsSceneResizeEvent* event) {
    QChart::resizeEvent(event);
    if (int(size().width()) != columns_) redraw();
}

// The value axis on round steps around lo..hi, the bands across all of it
// and the event marks on its floor.
void RunChart::fitValues(double lo, double hi) {
    const double room = std::max((hi - lo) * 0.05, 1.0);
    const double step = niceStep((hi - lo + 2 * room) / 6);
    low_ = std::floor((lo - room) / step) * step;
    high_ = std::ceil((hi + room) / step) * step;
    value_->setRange(low_, high_);
    value_->setTickCount(int(std::lround((high_ - low_) / step)) + 1);
    value_->setLabelFormat(step < 1 ? "%.1f" : "%.0f");
    for (QAreaSeries* band : bands_) {
        const qreal from = band->upperSeries()->at(0).x(), to = band->upperSeries()->at(1).x();
        band->lowerSeries()->replace({{from, low_}, {to, low_}});
        band->upperSeries()->replace({{from, high_}, {to, high_}});
    }
    QList<QPointF> marks;
    for (const ChartEvent& e : run_.events)
        marks.append(QPointF(e.at, low_));
    events_->replace(marks);
}

// Every series made anew for the runs shown; redraw() then fills them.
void RunChart::rebuild() {
    removeAllSeries();
    drawn_.clear();
    bands_.clear();

    value_->setTitleText(run_.unit.empty() ? tr("temperature") : QString::fromStdString(run_.unit));

    // Bands first: series of one kind are drawn in the order they were added.
    for (std::size_t i = 0; i < run_.bands.size(); ++i) {
        const ChartBand& b = run_.bands[i];
        auto* lower = new QLineSeries(this);
        auto* upper = new QLineSeries(this);
        lower->append({{b.from, 0}, {b.to, 0}});
        upper->append({{b.from, 0}, {b.to, 0}});
        auto* band = new QAreaSeries(upper, lower);
        // The band does not own its edges: made its children, they go with it.
        upper->setParent(band);
        lower->setParent(band);
        band->setPen(Qt::NoPen);
        band->setBrush(i % 2 ? QColor(0xf4, 0xf4, 0xf4) : QColor(0xe2, 0xe6, 0xee));
        addSeries(band);
        band->attachAxis(time_);
        band->attachAxis(value_);
        for (QLegendMarker* m : legend()->markers(band))
            m->setVisible(false);
        bands_.push_back(band);
    }

    for (std::size_t k = 0; k < overlays_.size(); ++k) {
        Drawn d{&overlays_[k], {}, {}};
        for (std::size_t z = 0; z < overlays_[k].zones.size(); ++z) {
            QColor c = zoneColor(z);
            c.setAlpha(70);
            d.pv.push_back(addPieces(overlays_[k], c, 1, Qt::SolidLine, z == 0,
                                     tr("run %1").arg(overlays_[k].id)));
        }
        drawn_.push_back(std::move(d));
    }
    Drawn shown{&run_, {}, {}};
    for (std::size_t z = 0; z < run_.zones.size(); ++z) {
        shown.plan.push_back(addPieces(run_, zoneColor(z).lighter(130), 1, Qt::DashLine, z == 0,
                                       tr("plan (dashed)")));
        shown.pv.push_back(
            addPieces(run_, zoneColor(z), 1.5, Qt::SolidLine, true, tr("zone %1").arg(z + 1)));
    }
    drawn_.insert(drawn_.begin(), std::move(shown));

    events_ = new QScatterSeries(this);
    events_->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    events_->setMarkerSize(9);
    events_->setColor(QColor(0x33, 0x33, 0x33));
    events_->setBorderColor(QColor(0x33, 0x33, 0x33));
    events_->setName(tr("events"));
    addSeries(events_);
    events_->attachAxis(time_);
    events_->attachAxis(value_);

    // The top axis shows only with a series on it.
    anchor_ = new QLineSeries(this);
    addSeries(anchor_);
    anchor_->attachAxis(segments_);
    anchor_->attachAxis(value_);
    for (QLegendMarker* m : legend()->markers(anchor_))
        m->setVisible(false);
    redraw();
}

void RunChart::placeAxes() {
    const int maxTicks = std::max(2, int((size().width() - 80) / 70));
    const double step = timeStep(to_ - from_, maxTicks);
    for (const QString& label : time_->categoriesLabels())
        time_->remove(label);
    time_->setStartValue(from_);
    for (double t = std::ceil(from_ / step) * step; t <= to_ + 1e-9; t += step)
        time_->append(tickText(t, step < 60), t);
    time_->setRange(from_, to_);
    // The title names the form the ticks are in: seconds show when zoomed in.
    time_->setTitleText(step < 60 ? tr("time from the start (H:MM:SS)")
                                  : tr("time from the start (H:MM)"));

    // Segment numbers centred on their bands; a label is unique on the axis,
    // so a gap or a segment told twice (a resume) is told apart by spaces.
    for (const QString& label : segments_->categoriesLabels())
        segments_->remove(label);
    segments_->setStartValue(from_);
    std::set<QString> used;
    const auto unique = [&](QString label) {
        while (!used.insert(label).second)
            label += ' ';
        return label;
    };
    double at = from_;
    for (const ChartBand& b : run_.bands) {
        if (b.to <= from_ || b.from >= to_) continue;
        if (b.from > at + 1e-9) segments_->append(unique(" "), b.from);
        const double end = std::min(b.to, to_);
        if (end > at) segments_->append(unique(QString::number(b.segment + 1)), end);
        at = std::max(at, end);
    }
    segments_->setRange(from_, to_);
}

void RunChart::redraw() {
    columns_ = int(size().width());
    const int columns = std::max(columns_, 100);
    placeAxes();
    // The value axis fits what the window shows, so a zoom shows detail.
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    // Piece i holds the samples after break i - 1, up to and with break i.
    const auto fill = [&](const Pieces& lines, const ChartSeries& s,
                          const std::vector<double>& breaks) {
        constexpr double kAll = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const double after = i == 0 ? -kAll : breaks[i - 1];
            const double upTo = i < breaks.size() ? breaks[i] : kAll;
            QList<QPointF> points;
            for (const ChartPoint& p :
                 s.decimated(std::max(from_, after), std::min(to_, upTo), columns)) {
                if (!(p.t > after && p.t <= upTo)) continue;
                points.append(QPointF(p.t, p.v));
                if (p.t >= from_ && p.t <= to_) {
                    lo = std::min(lo, p.v);
                    hi = std::max(hi, p.v);
                }
            }
            lines[i]->replace(points);
        }
    };
    for (const Drawn& d : drawn_)
        for (std::size_t z = 0; z < d.data->zones.size(); ++z) {
            if (z < d.pv.size()) fill(d.pv[z], d.data->zones[z].pv, d.data->breaks);
            if (z < d.plan.size()) fill(d.plan[z], d.data->zones[z].plan, d.data->breaks);
        }
    if (lo > hi) lo = 0, hi = 100;
    fitValues(lo, hi);
}

double RunChart::secondsAt(const QPointF& position) const {
    const QRectF area = plotArea();
    if (area.width() <= 0) return from_;
    return from_ + (position.x() - area.left()) / area.width() * (to_ - from_);
}

QString RunChart::readoutAt(double seconds) const {
    QString text = QString::fromStdString(durationText(seconds));
    const bool inRun = seconds >= 0 && seconds <= run_.length;
    const QString unit = run_.unit.empty() ? QString() : " " + QString::fromStdString(run_.unit);
    const auto value = [&](const ChartSeries& s) {
        const auto v = inRun ? s.valueAt(seconds) : std::nullopt;
        return v ? numberOf(*v) + unit : QString("-");
    };
    for (std::size_t z = 0; z < run_.zones.size(); ++z)
        text += tr("   zone %1 PV %2   plan %3")
                    .arg(z + 1)
                    .arg(value(run_.zones[z].pv), value(run_.zones[z].plan));
    for (const ChartBand& b : run_.bands)
        if (seconds >= b.from && seconds < b.to) {
            text += tr("   segment %1").arg(b.segment + 1);
            break;
        }
    return text;
}
