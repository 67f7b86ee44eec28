#pragma once
// The two-trace chart (SV and PV) over time. It holds the whole run (up to
// ChartHistory::kCapacity points per trace) and draws the stretch in view
// reduced to the pixel columns of the plot, so a full-history redraw stays
// within a frame.
//
// Time: each point keeps the sample clock's time (which never jumps) for
// its place on the chart, and the axis is labelled with the wall clock's time
// of day, so setting the clock neither folds nor stretches the trace. Where
// samples are missing (plotting stopped, a reading failed) the traces break.
//
// View: it follows the newest point, one screen (pointsPerScreen intervals
// of xGain seconds) wide. The wheel zooms about the pointer and a drag pans;
// both leave the live edge, and a double click returns to it. Hovering shows
// a cursor that reads out the time, SV and PV of the sample under it.
//
// Y: auto-scaled to what is in view by default, or a fixed range. A range
// that is empty or upside down is refused, never silently replaced.
#include "widgets/strip_chart/strip_chart_history.h"
#include "widgets/strip_chart/strip_chart_ticks.h"
#include "widgets/strip_chart/strip_chart_viewport.h"

#include <QChartView>
#include <QString>

#include <functional>

class QCategoryAxis;
class QLineSeries;

class StripChart : public QChartView {
    Q_OBJECT
    Q_PROPERTY(int pointsPerScreen READ pointsPerScreen WRITE setPointsPerScreen)
    Q_PROPERTY(double xGain READ xGain WRITE setXGain)
    Q_PROPERTY(double yMin READ yMin WRITE setYMin)
    Q_PROPERTY(double yMax READ yMax WRITE setYMax)
    Q_PROPERTY(bool autoScale READ autoscale WRITE setAutoscale)
    Q_PROPERTY(QString unit READ unit WRITE setUnit)

  public:
    static constexpr int kTraces = ChartHistory::kTraces;
    static constexpr int kDefaultPoints = 100;
    // A screen may show as much as the chart holds.
    static constexpr int kMaxPoints = int(ChartHistory::kCapacity);

    // Reads, at one moment, how far the wall clock is ahead of the sample
    // clock (SampleTime()); and the local time zone at a wall time. Tests
    // put fixed clocks here.
    struct Clocks {
        std::function<double()> wallMinusSample;
        UtcOffsetAt utcOffset;
    };

    explicit StripChart(QWidget* parent = nullptr);

    int pointsPerScreen() const { return pointsPerScreen_; }
    void setPointsPerScreen(int n);
    double xGain() const { return xGain_; }
    void setXGain(double secondsPerPoint);

    // The fixed range, kept while auto-scaling for when that is turned off.
    double yMin() const { return yMin_; }
    double yMax() const { return yMax_; }
    void setYMin(double v) { setYRange(v, yMax_); }
    void setYMax(double v) { setYRange(yMin_, v); }
    // False, with the range unchanged, unless min < max (both finite).
    bool setYRange(double min, double max);
    bool autoscale() const { return autoscale_; }
    void setAutoscale(bool on);
    // The range the Y axis shows now, brought up to date.
    ValueScale shownScale();
    // The unit of SV and PV ("°C"), named on the Y axis and in the readout.
    QString unit() const { return unit_; }
    void setUnit(const QString& unit);

    // One value per trace, trace 1 (SV) first; extra values are ignored.
    // seconds: when the sample was taken, on the clock of SampleTime().
    void plot(const float* values, int count, double seconds);
    // Samples are missing from here: the next point starts a new line.
    void breakTraces() { history_.breakHere(); }
    void clear();
    int pointCount(int trace) const;
    const ChartHistory& history() const { return history_; }

    // The drawn points of a trace, brought up to date.
    QLineSeries* series(int trace);
    QCategoryAxis* timeAxis() const { return xAxis_; }
    QCategoryAxis* valueAxis() const { return yAxis_; }
    ChartWindow shownWindow() const { return window_; }
    bool following() const { return view_.following(); }
    // Redraws now rather than when the event loop comes round.
    void redraw();

    // "14:05:09   SV 100.0 °C   PV 98.7 °C" for the sample nearest chart
    // time x; empty when there is none.
    QString readoutAt(double x) const;
    // The picture of the chart as the operator sees it, as PNG, written
    // whole or not at all. False, with the reason, when it cannot be.
    bool saveImage(const QString& path, QString* why);
    void setClocks(Clocks clocks);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

  private:
    // Many points may arrive before the next paint; they share one redraw.
    void redrawSoon();
    void updateScreen();
    void showValueScale(const QList<QPointF>* drawn);
    void showTimeScale();
    // Where a widget position falls across the plot (0 left, 1 right), and
    // the chart time there.
    double fractionAt(const QPointF& pos) const;
    double timeAt(const QPointF& pos) const;
    void drawCursor(QPainter* painter);
    void drawBrowsingNote(QPainter* painter);

    QLineSeries* traces_[kTraces];
    QCategoryAxis* xAxis_;
    QCategoryAxis* yAxis_;
    ChartHistory history_;
    ChartViewport view_;
    ChartWindow window_;
    ValueScale shown_;
    Clocks clocks_;
    QString unit_ = QStringLiteral("°C");
    int pointsPerScreen_ = kDefaultPoints;
    double xGain_ = 1.0;
    double yMin_ = 0.0;
    double yMax_ = 100.0;
    bool autoscale_ = true;
    // The time axis counts from the first sample since the last clear.
    double origin_ = 0.0;
    bool hasOrigin_ = false;
    bool redrawPending_ = false;
    // Pointer state: hovering over the plot at a chart time; dragging from a
    // widget x position.
    bool hovering_ = false;
    double hoverTime_ = 0.0;
    bool dragging_ = false;
    double dragFrom_ = 0.0;
};
