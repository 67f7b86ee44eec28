#pragma once
// Every sample of a run, kept for drawing at any zoom. A day at one second is
// 86,400 points; the history holds up to kCapacity points per trace (eleven
// such days, about 17 MB in all) and then lets the oldest go in one piece.
//
// Beside the points it keeps, per trace, the lowest and highest point of
// every block of 16, 32, 64 ... 65,536 points. Reducing any stretch of the
// run to one pixel column then reads a handful of blocks instead of every
// point, so a redraw of the whole history costs about columns x log(points),
// not the number of points.
#include <QList>
#include <QPointF>

#include <cstdint>
#include <vector>

// How the wall clock related to the chart's time: from point `first` on,
// wall time = chart time + offset. A new segment starts when the clock is set.
struct ClockStretch {
    qsizetype first;
    double offset;
};

class ChartHistory {
  public:
    static constexpr int kTraces = 2;
    static constexpr qsizetype kCapacity = 1'000'000;
    // Dropped from the front when full: a whole number of the largest block,
    // so the summary blocks stay aligned and only shift.
    static constexpr qsizetype kDropChunk = 65536;

    // x: the chart's time of the sample, never less than the last one's.
    // wallOffset: wall clock minus chart time when it was taken. A trace
    // without a value here (count too small, or NaN) has no point here.
    void append(double x, const float* values, int count, double wallOffset);
    // Samples are missing from here: the next point starts a new line.
    void breakHere() { breakPending_ = true; }
    void clear();

    qsizetype size() const { return qsizetype(x_.size()); }
    bool empty() const { return x_.empty(); }
    double x(qsizetype i) const { return x_[size_t(i)]; }
    float y(int trace, qsizetype i) const { return y_[trace][size_t(i)]; }
    double firstX() const { return x_.empty() ? 0.0 : x_.front(); }
    double lastX() const { return x_.empty() ? 0.0 : x_.back(); }
    // The wall clock's time of chart time x, by the clock setting in force there.
    double wallTime(double x) const;
    const std::vector<ClockStretch>& clock() const { return clock_; }
    // Index of the point nearest to chart time x; -1 when there is none.
    qsizetype nearest(double x) const;

    // The points trace draws between left and right on `columns` pixel
    // columns, with one point beyond each edge so the line runs to the edges
    // and a NaN point where it breaks. Where more than two points fall on a
    // column, the column's lowest and highest point stand for them in the
    // order they came: the line looks the same, spikes included.
    void drawable(int trace, double left, double right, int columns, QList<QPointF>& out) const;

  private:
    static constexpr qsizetype kBase = 16;
    static constexpr int kLevels = 13; // blocks of kBase << 0 ... kBase << 12 = kDropChunk

    // Lowest and highest point of a block, as offsets from its start.
    struct Extremes {
        uint16_t lo = 0, hi = 0;
    };
    struct Pick {
        qsizetype lo = -1, hi = -1;
    };

    void dropOldest();
    void addToSummary(int trace, qsizetype i);
    void take(int trace, qsizetype i, Pick& p) const;
    Pick extremes(int trace, qsizetype begin, qsizetype end) const;
    void appendGroup(int trace, qsizetype begin, qsizetype end, QList<QPointF>& out) const;
    qsizetype lowerBound(double x) const;
    qsizetype upperBound(double x) const;

    std::vector<double> x_;
    std::vector<float> y_[kTraces];
    std::vector<Extremes> summary_[kTraces][kLevels];
    // Index of each first point after a gap, in order.
    std::vector<qsizetype> breaks_;
    std::vector<ClockStretch> clock_;
    bool breakPending_ = false;
};
