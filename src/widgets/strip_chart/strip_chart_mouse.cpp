// The chart under the pointer: the wheel zooms, a drag pans, a double click
// follows the newest point again, hovering moves the cursor.
#include "widgets/strip_chart/strip_chart.h"

#include <QChart>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {

// One notch of a common wheel.
constexpr double kNotchDelta = 120.0;

bool overPlot(const QChart* chart, const QPointF& chartPos) {
    return chart->plotArea().contains(chartPos);
}

} // namespace

double StripChart::fractionAt(const QPointF& pos) const {
    const QPointF at = chart()->mapFromScene(mapToScene(pos.toPoint()));
    const QRectF plot = chart()->plotArea();
    return plot.width() > 0 ? (at.x() - plot.left()) / plot.width() : 0.0;
}

double StripChart::timeAt(const QPointF& pos) const {
    return window_.left + fractionAt(pos) * window_.span();
}

void StripChart::wheelEvent(QWheelEvent* event) {
    const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    const double notches = event->angleDelta().y() / kNotchDelta;
    if (!overPlot(chart(), at) || notches == 0) {
        QChartView::wheelEvent(event);
        return;
    }
    view_.zoom(notches, fractionAt(event->position()), history_.firstX(), history_.lastX());
    redraw();
    event->accept();
}

void StripChart::mousePressEvent(QMouseEvent* event) {
    const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    if (event->button() != Qt::LeftButton || !overPlot(chart(), at)) {
        QChartView::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    dragFrom_ = event->position().x();
    viewport()->setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void StripChart::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    hovering_ = overPlot(chart(), at);
    if (dragging_) {
        const double width = chart()->plotArea().width();
        const double moved = event->position().x() - dragFrom_;
        dragFrom_ = event->position().x();
        // The trace goes with the pointer: a drag to the right shows earlier times.
        if (width > 0) view_.pan(-moved / width, history_.firstX(), history_.lastX());
        redraw();
        event->accept();
    } else {
        QChartView::mouseMoveEvent(event);
    }
    hoverTime_ = timeAt(event->position());
    viewport()->update();
}

void StripChart::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) {
        QChartView::mouseReleaseEvent(event);
        return;
    }
    dragging_ = false;
    viewport()->unsetCursor();
    event->accept();
}

void StripChart::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QChartView::mouseDoubleClickEvent(event);
        return;
    }
    view_.follow();
    redraw();
    event->accept();
}

void StripChart::leaveEvent(QEvent* event) {
    hovering_ = false;
    viewport()->update();
    QChartView::leaveEvent(event);
}

// Shown again, the chart has no cursor until the pointer moves over it.
void StripChart::hideEvent(QHideEvent* event) {
    hovering_ = dragging_ = false;
    viewport()->unsetCursor();
    QChartView::hideEvent(event);
}
