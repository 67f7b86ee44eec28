#include "history/panel/run_chart_view.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace {

// One notch of a common wheel, and how much of the window one notch keeps.
constexpr double kNotchDelta = 120.0;
constexpr double kZoomPerNotch = 0.8;

} // namespace

RunChartView::RunChartView(QWidget* parent) : QChartView(parent), chart_(new RunChart) {
    setChart(chart_);
    setRenderHint(QPainter::Antialiasing, false);
    setMouseTracking(true);
    // The cursor follows a window that moved under a still pointer.
    connect(chart_, &RunChart::windowChanged, viewport(), [this] { viewport()->update(); });
}

QPointF RunChartView::chartAt(const QPointF& pos) const {
    return chart_->mapFromScene(mapToScene(pos.toPoint()));
}

bool RunChartView::overPlot(const QPointF& pos) const {
    return chart_->plotArea().contains(chartAt(pos));
}

QString RunChartView::readout() const {
    return hovering_ && !dragging_ ? chart_->readoutAt(hoverSeconds_) : QString();
}

void RunChartView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / kNotchDelta;
    if (!overPlot(event->position()) || notches == 0) return QChartView::wheelEvent(event);
    // The time under the pointer stays under it.
    const double at = chart_->secondsAt(chartAt(event->position()));
    const double from = chart_->windowFrom(), to = chart_->windowTo();
    const double keep = std::pow(kZoomPerNotch, notches);
    chart_->setWindow(at - (at - from) * keep, at + (to - at) * keep);
    event->accept();
}

void RunChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !overPlot(event->position()))
        return QChartView::mousePressEvent(event);
    dragging_ = true;
    dragFrom_ = event->position().x();
    viewport()->setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void RunChartView::mouseMoveEvent(QMouseEvent* event) {
    hovering_ = overPlot(event->position());
    if (dragging_) {
        const double width = chart_->plotArea().width();
        const double moved = event->position().x() - dragFrom_;
        dragFrom_ = event->position().x();
        // The trace goes with the pointer: a drag to the right shows earlier times.
        const double shift =
            width > 0 ? -moved / width * (chart_->windowTo() - chart_->windowFrom()) : 0.0;
        chart_->setWindow(chart_->windowFrom() + shift, chart_->windowTo() + shift);
        event->accept();
    } else {
        QChartView::mouseMoveEvent(event);
    }
    hoverSeconds_ = chart_->secondsAt(chartAt(event->position()));
    viewport()->update();
}

void RunChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton)
        return QChartView::mouseReleaseEvent(event);
    dragging_ = false;
    viewport()->unsetCursor();
    event->accept();
}

void RunChartView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QChartView::mouseDoubleClickEvent(event);
    chart_->showWholeRun();
    event->accept();
}

void RunChartView::leaveEvent(QEvent* event) {
    hovering_ = false;
    viewport()->update();
    QChartView::leaveEvent(event);
}

void RunChartView::drawForeground(QPainter* painter, const QRectF& rect) {
    QChartView::drawForeground(painter, rect);
    const QString text = readout();
    if (text.isEmpty()) return;
    const QRectF plot = chart_->mapRectToScene(chart_->plotArea());
    const double from = chart_->windowFrom(), to = chart_->windowTo();
    if (to <= from) return;
    const double x = plot.left() + (hoverSeconds_ - from) / (to - from) * plot.width();
    painter->save();
    painter->setPen(QPen(QColor(60, 60, 60), 1, Qt::DashLine));
    painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    const QFontMetricsF fm(painter->font());
    QRectF box(plot.topLeft() + QPointF(6, 6),
               QSizeF(fm.horizontalAdvance(text) + 12, fm.height() + 6));
    painter->setPen(QPen(QColor(120, 120, 120), 1));
    painter->setBrush(QColor(255, 255, 255, 225));
    painter->drawRect(box);
    painter->setPen(QColor(20, 20, 20));
    painter->drawText(box, Qt::AlignCenter, text);
    painter->restore();
}
