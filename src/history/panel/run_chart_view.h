#pragma once
// The view the Runs panel shows a run's chart in, with the mouse the strip
// chart has: the wheel zooms about the pointer, a drag pans, a double click
// shows the whole run again, and hovering reads out the time, each zone's
// PV and the plan under the pointer.
#include "history/chart/run_chart.h"

#include <QChartView>
#include <QString>

class RunChartView : public QChartView {
    Q_OBJECT

  public:
    explicit RunChartView(QWidget* parent = nullptr);

    RunChart& runChart() { return *chart_; }
    const RunChart& runChart() const { return *chart_; }
    // What the cursor reads now; empty while the pointer is off the plot.
    QString readout() const;

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

  private:
    // The chart's own coordinates of a view position, and whether the plot is there.
    QPointF chartAt(const QPointF& pos) const;
    bool overPlot(const QPointF& pos) const;

    RunChart* chart_; // owned by the view
    bool hovering_ = false;
    double hoverSeconds_ = 0;
    bool dragging_ = false;
    double dragFrom_ = 0;
};
