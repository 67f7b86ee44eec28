// What the chart draws over its traces (the cursor and its readout, a note
// while browsing) and the picture it saves.
#include "base/atomic_file.h"
#include "widgets/strip_chart/strip_chart.h"

#include <QBuffer>
#include <QChart>
#include <QFontMetricsF>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace {

QString valueText(float v) {
    return std::isnan(v) ? QStringLiteral("—") : QString::number(double(v), 'f', 1);
}

// A line of text on a pale box, so it reads over grid and traces alike.
void drawLabel(QPainter* p, const QPointF& at, const QString& text, Qt::Alignment side) {
    const QFontMetricsF fm(p->font());
    const QSizeF size(fm.horizontalAdvance(text) + 12, fm.height() + 6);
    QRectF box(at, size);
    if (side & Qt::AlignRight) box.moveRight(at.x());
    p->setPen(QPen(QColor(120, 120, 120), 1));
    p->setBrush(QColor(255, 255, 255, 225));
    p->drawRect(box);
    p->setPen(QColor(20, 20, 20));
    p->drawText(box, Qt::AlignCenter, text);
}

} // namespace

QString StripChart::readoutAt(double x) const {
    const qsizetype i = history_.nearest(x);
    if (i < 0) return {};
    const double wall = history_.wallTime(history_.x(i));
    const QString unit = unit_.isEmpty() ? QString() : " " + unit_;
    return QString::fromStdString(clockText(wall, clocks_.utcOffset)) + "   SV " +
           valueText(history_.y(0, i)) + unit + "   PV " + valueText(history_.y(1, i)) + unit;
}

void StripChart::drawForeground(QPainter* painter, const QRectF& rect) {
    QChartView::drawForeground(painter, rect);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (hovering_ && !dragging_) drawCursor(painter);
    if (!view_.following()) drawBrowsingNote(painter);
    painter->restore();
}

void StripChart::drawCursor(QPainter* painter) {
    const qsizetype i = history_.nearest(hoverTime_);
    if (i < 0) return;
    const double x = history_.x(i);
    if (x < window_.left || x > window_.right) return;
    const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
    const QPointF top = chart()->mapToScene(chart()->mapToPosition(QPointF(x, 0), traces_[0]));
    painter->setPen(QPen(QColor(60, 60, 60), 1, Qt::DashLine));
    painter->drawLine(QPointF(top.x(), plot.top()), QPointF(top.x(), plot.bottom()));
    for (int t = 0; t < kTraces; ++t) {
        const float v = history_.y(t, i);
        if (std::isnan(v) || v < shown_.min || v > shown_.max) continue;
        const QPointF at =
            chart()->mapToScene(chart()->mapToPosition(QPointF(x, double(v)), traces_[t]));
        painter->setPen(QPen(traces_[t]->pen().color(), 2));
        painter->setBrush(Qt::white);
        painter->drawEllipse(at, 4, 4);
    }
    drawLabel(painter, plot.topLeft() + QPointF(6, 6), readoutAt(x), Qt::AlignLeft);
}

void StripChart::drawBrowsingNote(QPainter* painter) {
    const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
    drawLabel(painter, plot.topRight() + QPointF(-6, 6), tr("Double-click to follow the newest"),
              Qt::AlignRight);
}

bool StripChart::saveImage(const QString& path, QString* why) {
    if (redrawPending_) redraw();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!grab().toImage().save(&buffer, "PNG")) {
        if (why) *why = tr("the picture could not be made");
        return false;
    }
    std::string reason;
    if (!writeFileAtomically(path.toStdString(), png.toStdString(), &reason)) {
        if (why) *why = QString::fromStdString(reason);
        return false;
    }
    return true;
}
