#include "widgets/strip_chart/strip_chart_history.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The wall clock drifts against the sample clock by a little all the time;
// only a step larger than this (the clock was set) starts a new stretch.
constexpr double kClockStep = 0.5;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

void ChartHistory::append(double x, const float* values, int count, double wallOffset) {
    if (size() == kCapacity) dropOldest();
    const qsizetype i = size();
    if (breakPending_ && i > 0) breaks_.push_back(i);
    breakPending_ = false;
    if (clock_.empty() || std::abs(wallOffset - clock_.back().offset) > kClockStep)
        clock_.push_back({i, wallOffset});
    x_.push_back(x);
    for (int t = 0; t < kTraces; ++t) {
        y_[t].push_back(t < count ? values[t] : std::numeric_limits<float>::quiet_NaN());
        addToSummary(t, i);
    }
}

void ChartHistory::clear() {
    x_.clear();
    for (int t = 0; t < kTraces; ++t) {
        y_[t].clear();
        for (auto& level : summary_[t])
            level.clear();
    }
    breaks_.clear();
    clock_.clear();
    breakPending_ = false;
}

void ChartHistory::dropOldest() {
    const auto chunk = std::ptrdiff_t(kDropChunk);
    x_.erase(x_.begin(), x_.begin() + chunk);
    for (int t = 0; t < kTraces; ++t) {
        y_[t].erase(y_[t].begin(), y_[t].begin() + chunk);
        for (int level = 0; level < kLevels; ++level) {
            auto& blocks = summary_[t][level];
            blocks.erase(blocks.begin(), blocks.begin() + (chunk / (kBase << level)));
        }
    }
    // A break at the new first point separates nothing from it any more.
    std::erase_if(breaks_, [](qsizetype b) { return b <= kDropChunk; });
    for (qsizetype& b : breaks_)
        b -= kDropChunk;
    // The setting in force at the new first point stays, starting there.
    auto inForce = std::upper_bound(clock_.begin(), clock_.end(), kDropChunk,
                                    [](qsizetype i, const ClockStretch& s) { return i < s.first; });
    clock_.erase(clock_.begin(), inForce - 1);
    for (ClockStretch& s : clock_)
        s.first = std::max<qsizetype>(0, s.first - kDropChunk);
}

void ChartHistory::addToSummary(int trace, qsizetype i) {
    const std::vector<float>& y = y_[trace];
    const float v = y[size_t(i)];
    for (int level = 0; level < kLevels; ++level) {
        const qsizetype span = kBase << level;
        const qsizetype start = i / span * span;
        auto& blocks = summary_[trace][level];
        const auto offset = uint16_t(i - start);
        if (offset == 0) {
            blocks.push_back({0, 0});
            continue;
        }
        Extremes& e = blocks.back();
        // A block that began with a missing value takes the first real one.
        if (std::isnan(y[size_t(start + e.lo)])) e.lo = e.hi = offset;
        if (v < y[size_t(start + e.lo)]) e.lo = offset;
        if (v > y[size_t(start + e.hi)]) e.hi = offset;
    }
}

double ChartHistory::wallTime(double x) const {
    if (clock_.empty()) return x;
    // The stretch of the last point at or before x.
    const qsizetype at = std::max<qsizetype>(0, upperBound(x) - 1);
    auto s = std::upper_bound(clock_.begin(), clock_.end(), at,
                              [](qsizetype i, const ClockStretch& c) { return i < c.first; });
    return x + (s == clock_.begin() ? clock_.front() : *(s - 1)).offset;
}

qsizetype ChartHistory::lowerBound(double x) const {
    return std::lower_bound(x_.begin(), x_.end(), x) - x_.begin();
}

qsizetype ChartHistory::upperBound(double x) const {
    return std::upper_bound(x_.begin(), x_.end(), x) - x_.begin();
}

qsizetype ChartHistory::nearest(double x) const {
    if (x_.empty()) return -1;
    const qsizetype after = lowerBound(x);
    if (after == 0) return 0;
    if (after == size()) return size() - 1;
    return x - x_[size_t(after - 1)] <= x_[size_t(after)] - x ? after - 1 : after;
}

void ChartHistory::take(int trace, qsizetype i, Pick& p) const {
    const std::vector<float>& y = y_[trace];
    const float v = y[size_t(i)];
    if (std::isnan(v)) return;
    if (p.lo < 0 || v < y[size_t(p.lo)]) p.lo = i;
    if (p.hi < 0 || v > y[size_t(p.hi)]) p.hi = i;
}

ChartHistory::Pick ChartHistory::extremes(int trace, qsizetype begin, qsizetype end) const {
    Pick p;
    // Single points up to the first block boundary at either end ...
    while (begin < end && begin % kBase != 0)
        take(trace, begin++, p);
    while (end > begin && end % kBase != 0)
        take(trace, --end, p);
    // ... then at each level one block at either end, until both ends meet
    // the next level's boundaries; the top level takes what is left.
    for (int level = 0; begin < end; ++level) {
        const qsizetype span = kBase << level;
        const auto& blocks = summary_[trace][level];
        auto takeBlock = [&](qsizetype start) {
            const Extremes& e = blocks[size_t(start / span)];
            take(trace, start + e.lo, p);
            take(trace, start + e.hi, p);
        };
        if (level == kLevels - 1) {
            for (; begin < end; begin += span)
                takeBlock(begin);
            break;
        }
        if (begin % (2 * span) != 0) {
            takeBlock(begin);
            begin += span;
        }
        if (end > begin && end % (2 * span) != 0) {
            end -= span;
            takeBlock(end);
        }
    }
    return p;
}

void ChartHistory::appendGroup(int trace, qsizetype begin, qsizetype end,
                               QList<QPointF>& out) const {
    const Pick p = extremes(trace, begin, end);
    if (p.lo < 0) return;
    const qsizetype first = std::min(p.lo, p.hi), second = std::max(p.lo, p.hi);
    out.append(QPointF(x_[size_t(first)], y_[trace][size_t(first)]));
    if (second != first) out.append(QPointF(x_[size_t(second)], y_[trace][size_t(second)]));
}

void ChartHistory::drawable(int trace, double left, double right, int columns,
                            QList<QPointF>& out) const {
    out.clear();
    if (x_.empty() || !(right > left)) return;
    const qsizetype begin = std::max<qsizetype>(0, lowerBound(left) - 1);
    const qsizetype end = std::min(size(), upperBound(right) + 1);
    if (begin >= end) return;
    const bool dense = columns >= 1 && end - begin > 2 * qsizetype(columns);
    const double perColumn = double(columns) / (right - left);
    auto nextBreak = std::upper_bound(breaks_.begin(), breaks_.end(), begin);
    // A NaN point between the two sides of a gap, which the chart leaves undrawn.
    auto gap = [&](qsizetype after) {
        if (!out.isEmpty()) out.append(QPointF((out.last().x() + x_[size_t(after)]) / 2, kNaN));
    };
    out.reserve(dense ? 4 * columns + 8 : end - begin + 8);
    for (qsizetype i = begin; i < end;) {
        // The points of one pixel column (every point on its own when sparse).
        qsizetype next = i + 1;
        if (dense) {
            const double c = std::floor((x_[size_t(i)] - left) * perColumn);
            if (c >= 0 && c < columns) next = lowerBound(left + (c + 1) / perColumn);
            next = std::clamp(next, i + 1, end);
        }
        if (nextBreak != breaks_.end() && *nextBreak == i) {
            gap(i);
            ++nextBreak;
        }
        // Gaps inside a column are narrower than a pixel: one break stands for them.
        auto inside = nextBreak;
        while (nextBreak != breaks_.end() && *nextBreak < next)
            ++nextBreak;
        if (inside == nextBreak) {
            appendGroup(trace, i, next, out);
        } else {
            appendGroup(trace, i, *inside, out);
            gap(*(nextBreak - 1));
            appendGroup(trace, *(nextBreak - 1), next, out);
        }
        i = next;
    }
    // The newest point is where the eye looks; it is always drawn exactly.
    const qsizetype last = size() - 1;
    const float newest = y_[trace][size_t(last)];
    if (end == size() && !std::isnan(newest) && (out.isEmpty() || out.last().x() != x_.back()))
        out.append(QPointF(x_.back(), newest));
}
