#include "widgets/profile_plot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kLeft = 52, kRight = 12, kTop = 10, kBottom = 22;
const QColor kSvColor(30, 90, 200), kPvColor(210, 60, 30), kMarkerColor(0, 150, 0);

struct Range {
    double lo, hi;
    double span() const { return hi > lo ? hi - lo : 1.0; }
};

// Both traces fit, with a margin so a flat profile is not drawn on the frame.
Range valueRange(const ProfileView& v) {
    double lo = INFINITY, hi = -INFINITY;
    for (const auto* pts : {&v.sv, &v.pv})
        for (const auto& [t, y] : *pts) {
            lo = std::min(lo, y);
            hi = std::max(hi, y);
        }
    if (!std::isfinite(lo)) return {0.0, 100.0};
    const double pad = std::max((hi - lo) * 0.08, 1.0);
    return {lo - pad, hi + pad};
}

double timeEnd(const ProfileView& v) {
    double end = 0.0;
    for (const auto* pts : {&v.sv, &v.pv})
        for (const auto& [t, y] : *pts)
            end = std::max(end, t);
    return std::max(end, v.marker.value_or(0.0));
}

} // namespace

QString durationText(double seconds) {
    const long s = std::lround(std::max(seconds, 0.0));
    if (s >= 3600)
        return QString::asprintf("%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return QString::asprintf("%02ld:%02ld", s / 60, s % 60);
}

ProfilePlot::ProfilePlot(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ProfilePlot::show(ProfileView view) {
    view_ = std::move(view);
    update();
}

void ProfilePlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(kLeft, kTop, width() - kLeft - kRight, height() - kTop - kBottom);
    p.fillRect(rect(), palette().base());
    p.setPen(palette().mid().color());
    p.drawRect(area);
    if (area.width() < 10 || area.height() < 10) return;

    const Range y = valueRange(view_);
    const double end = std::max(timeEnd(view_), 1.0);
    auto at = [&](double t, double v) {
        return QPointF(area.left() + area.width() * t / end,
                       area.bottom() - area.height() * (v - y.lo) / y.span());
    };
    p.setPen(palette().text().color());
    const QFontMetrics fm(font());
    for (double v : {y.lo, y.hi})
        p.drawText(QRectF(0, at(0, v).y() - fm.height() / 2.0, kLeft - 4, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(v, 'f', 1));
    p.drawText(QRectF(area.left(), area.bottom() + 2, area.width(), kBottom - 2),
               Qt::AlignLeft | Qt::AlignTop, "0");
    p.drawText(QRectF(area.left(), area.bottom() + 2, area.width(), kBottom - 2),
               Qt::AlignRight | Qt::AlignTop, durationText(end));

    auto trace = [&](const ProfileView::Points& pts, const QColor& color, qreal width) {
        if (pts.size() < 2) return;
        QPainterPath path(at(pts.front().first, pts.front().second));
        for (const auto& [t, v] : pts)
            path.lineTo(at(t, v));
        p.setPen(QPen(color, width));
        p.drawPath(path);
    };
    p.save();
    p.setClipRect(area);
    trace(view_.sv, kSvColor, 2.0);
    trace(view_.pv, kPvColor, 1.5);
    if (view_.marker) {
        const double x = at(*view_.marker, y.lo).x();
        p.setPen(QPen(kMarkerColor, 2.0, Qt::DashLine));
        p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
    p.restore();
    // Which line is which, in the corner the profile rarely reaches.
    QPointF at2(area.right() - 6, area.bottom() - 6);
    for (const auto& [color, label] : {std::pair{kPvColor, "PV"}, {kSvColor, "SV programmed"}}) {
        const qreal w = fm.horizontalAdvance(label);
        p.setPen(QPen(color, 2.0));
        p.drawText(QPointF(at2.x() - w, at2.y()), label);
        at2.rx() -= w + 14;
    }
}
