#pragma once
// A stored run as a chart: PV per zone over the plan's SV (dashed), the
// segments as bands shaded in turn and numbered along the top, the events
// marked on the time axis, and up to five earlier runs laid over it, faint,
// on the same time base (seconds from each run's start, shown as H:MM).
//
// It is a QChart and nothing more: the Runs panel puts it in a QChartView
// and adds the mouse (zoom, pan, cursor) on top; the PDF report renders it
// in a scene of its own with no window. It draws the window in view reduced
// to the chart's pixel columns (RunChartData), again whenever the window or
// the chart's width changes, so a day-long run zooms as fast as a short one.
// The value axis fits what the window shows. Qt Charts lays its axes out
// from posted events: one who renders it without a window lets them run
// (QCoreApplication::processEvents) after the last change, before rendering.
#include "history/run_chart_data.h"

#include <QChart>
#include <QString>

#include <vector>

class QAreaSeries;
class QCategoryAxis;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

class RunChart : public QChart {
    Q_OBJECT

  public:
    static constexpr int kMaxOverlays = 5;

    explicit RunChart(QGraphicsItem* parent = nullptr);

    // The run shown. Drops the overlays and shows the whole run.
    void setRun(RunChartData run);
    const RunChartData& run() const { return run_; }
    // An earlier run laid over this one, aligned at its start; false, with
    // nothing changed, when kMaxOverlays are shown already.
    bool addOverlay(RunChartData earlier);
    void clearOverlays();
    int overlayCount() const { return int(overlays_.size()); }

    // The stretch in view, in seconds from the start. False, with nothing
    // changed, unless from < to; it is kept within the whole span.
    bool setWindow(double from, double to);
    double windowFrom() const { return from_; }
    double windowTo() const { return to_; }
    // From 0 to the end of the longest run shown (at least a minute).
    double fullLength() const;
    void showWholeRun();

    // Seconds from the start under a point in the chart's own coordinates
    // (QChart::mapFromScene of a view's mouse position).
    double secondsAt(const QPointF& position) const;
    // What a cursor at a time reads: "1:05:09   zone 1 PV 612.3 °C   plan
    // 615.0 °C   zone 2 PV ...", then the segment it falls in. A value the
    // run did not sample there reads "-".
    QString readoutAt(double seconds) const;

  signals:
    void windowChanged(double from, double to);

  protected:
    void resizeEvent(QGraphicsSceneResizeEvent* event) override;

  private:
    // A zone's line in pieces, one more than the run has breaks: none is
    // drawn across a stretch no driver sampled.
    using Pieces = std::vector<QLineSeries*>;
    struct Drawn {
        const RunChartData* data;
        std::vector<Pieces> pv, plan; // by zone
    };
    void rebuild();
    void redraw();
    void placeAxes();
    void fitValues(double lo, double hi);
    QLineSeries* addLine(const QColor& color, qreal width, Qt::PenStyle style, bool legend,
                         const QString& name);
    Pieces addPieces(const RunChartData& data, const QColor& color, qreal width, Qt::PenStyle style,
                     bool legend, const QString& name);

    RunChartData run_;
    std::vector<RunChartData> overlays_;
    std::vector<Drawn> drawn_; // the run first, then each overlay
    std::vector<QAreaSeries*> bands_;
    QScatterSeries* events_ = nullptr;
    QLineSeries* anchor_ = nullptr; // holds the top axis; never has points
    QCategoryAxis* time_ = nullptr;
    QCategoryAxis* segments_ = nullptr;
    QValueAxis* value_ = nullptr;
    double from_ = 0, to_ = 60;
    double low_ = 0, high_ = 100;
    int columns_ = 0; // the plot's width the series were reduced to
};
