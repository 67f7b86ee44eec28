#pragma once
// A scrolling two-trace chart (SV and PV) over time. Each point keeps the
// time its sample was taken; the screen is pointsPerScreen intervals (xGain
// seconds each) wide. Each trace keeps at most pointsPerScreen points; older
// points fall off the left edge, so a chart left running for days holds the
// same memory as after one screen. Where samples are missing (plotting was
// stopped, a reading failed) the traces break rather than draw a line
// through time nobody measured.
#include <QChartView>
#include <QList>
#include <QPointF>

class QLineSeries;
class QValueAxis;

class StripChart : public QChartView {
    Q_OBJECT
    Q_PROPERTY(int pointsPerScreen READ pointsPerScreen WRITE setPointsPerScreen)
    Q_PROPERTY(double xGain READ xGain WRITE setXGain)
    Q_PROPERTY(double yMin READ yMin WRITE setYMin)
    Q_PROPERTY(double yMax READ yMax WRITE setYMax)

  public:
    static constexpr int kTraces = 2;
    static constexpr int kDefaultPoints = 100;
    // One screen per trace is held in memory and redrawn on every point.
    static constexpr int kMaxPoints = 10000;

    explicit StripChart(QWidget* parent = nullptr);

    int pointsPerScreen() const { return pointsPerScreen_; }
    void setPointsPerScreen(int n);
    double xGain() const { return xGain_; }
    void setXGain(double secondsPerPoint);
    double yMin() const { return yMin_; }
    double yMax() const { return yMax_; }
    void setYMin(double v) { setYRange(v, yMax_); }
    void setYMax(double v) { setYRange(yMin_, v); }
    void setYRange(double min, double max);
    bool autoscale() const { return autoscale_; }
    void setAutoscale(bool on);

    // One value per trace, trace 1 (SV) first; extra values are ignored.
    // seconds: when the sample was taken, on a clock that never jumps back.
    void plot(const float* values, int count, double seconds);
    // Samples are missing from here: the next point starts a new line.
    void breakTraces() { breakPending_ = true; }
    void clear();
    int pointCount(int trace) const;
    QLineSeries* series(int trace) const;

  protected:
    // The reduction to pixel columns depends on the width.
    void resizeEvent(QResizeEvent* event) override;

  private:
    void trim();
    void refresh();

    QLineSeries* traces_[kTraces];
    QList<QPointF> points_[kTraces];
    QValueAxis* xAxis_;
    QValueAxis* yAxis_;
    int pointsPerScreen_ = kDefaultPoints;
    double xGain_ = 1.0;
    double yMin_ = 0.0;
    double yMax_ = 100.0;
    bool autoscale_ = false;
    // The time axis counts from the first sample since the last clear.
    double origin_ = 0.0;
    bool hasOrigin_ = false;
    // Time of each first point after a gap, oldest first.
    QList<double> breaks_;
    bool breakPending_ = false;
};
