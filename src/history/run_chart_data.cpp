#include "history/run_chart_data.h"

#include "base/number_text.h"
#include "history/run_figures.h"
#include "runs/program_file.h"

#include <algorithm>
#include <limits>

std::size_t ChartSeries::firstFrom(double seconds) const {
    return std::size_t(std::lower_bound(t.begin(), t.end(), seconds) - t.begin());
}

std::optional<double> ChartSeries::valueAt(double seconds) const {
    const auto after = std::upper_bound(t.begin(), t.end(), seconds);
    if (after == t.begin()) return std::nullopt;
    return v[std::size_t(after - t.begin()) - 1];
}

std::vector<ChartPoint> ChartSeries::decimated(double from, double to, int columns) const {
    std::vector<ChartPoint> out;
    if (t.empty() || !(to > from)) return out;
    columns = std::max(columns, 1);
    const std::size_t first = firstFrom(from);
    const std::size_t end = std::size_t(std::upper_bound(t.begin(), t.end(), to) - t.begin());
    const auto put = [&](std::size_t i) { out.push_back({t[i], v[i]}); };
    if (first > 0) put(first - 1);
    if (end - first <= 2 * std::size_t(columns)) {
        for (std::size_t i = first; i < end; ++i)
            put(i);
    } else {
        out.reserve(out.size() + 2 * std::size_t(columns) + 2);
        const double perColumn = double(columns) / (to - from);
        const auto columnOf = [&](std::size_t i) {
            return std::min(columns - 1, int((t[i] - from) * perColumn));
        };
        std::size_t i = first;
        while (i < end) {
            const int column = columnOf(i);
            std::size_t lo = i, hi = i;
            for (++i; i < end && columnOf(i) == column; ++i) {
                if (v[i] < v[lo]) lo = i;
                if (v[i] > v[hi]) hi = i;
            }
            put(std::min(lo, hi));
            if (lo != hi) put(std::max(lo, hi));
        }
    }
    if (end < t.size()) put(end);
    return out;
}

std::optional<std::pair<double, double>> RunChartData::valueRange() const {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const ZoneSeries& z : zones)
        for (const ChartSeries* s : {&z.pv, &z.plan})
            for (double v : s->v) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    if (lo > hi) return std::nullopt;
    return std::make_pair(lo, hi);
}

RunChartData runChartData(const StoredRun& run, const std::vector<RunSample>& samples,
                          const std::vector<RunEvent>& events) {
    const RunState& st = run.state;
    RunChartData d;
    d.id = run.id;
    d.program = st.programName;
    if (st.kind == RunKind::program) {
        const auto parsed = parseFiringProgram(st.programText);
        if (const auto* program = std::get_if<FiringProgram>(&parsed))
            d.unit = std::string(trimmed(unitSign(program->unit)));
    }
    const double start = st.started.value_or(st.opened);
    const double scale = st.timeScale > 0 ? st.timeScale : 1.0;
    const auto since = [&](double wall) { return (wall - start) * scale; };

    std::size_t zones = st.zones.size();
    for (const RunSample& s : samples)
        zones = std::max(zones, std::size_t(std::max(s.zone, 0)) + 1);
    d.zones.resize(zones);
    // Each zone has one sample a poll: reserving its share keeps a long run
    // from growing its arrays a step at a time.
    for (ZoneSeries& z : d.zones)
        for (ChartSeries* s : {&z.pv, &z.plan}) {
            s->t.reserve(samples.size() / std::max<std::size_t>(zones, 1) + 1);
            s->v.reserve(s->t.capacity());
        }
    const auto add = [](ChartSeries& s, double t, double v) {
        // The store gives samples by time; a clock stepped back must not
        // break the order every search relies on.
        if (!s.t.empty() && t < s.t.back()) return;
        s.t.push_back(t);
        s.v.push_back(v);
    };
    for (const RunSample& s : samples) {
        if (s.zone < 0) continue;
        ZoneSeries& z = d.zones[std::size_t(s.zone)];
        const double t = since(s.time);
        if (s.pv) add(z.pv, t, *s.pv);
        if (s.planSv) add(z.plan, t, *s.planSv);
        d.length = std::max(d.length, t);
    }
    if (st.ended) d.length = std::max(d.length, since(*st.ended));

    const double lastSample = samples.empty() ? start : samples.back().time;
    for (const SegmentSpan& span : segmentSpans(st, events, lastSample))
        d.bands.push_back({since(span.from), since(span.to), span.segment});
    for (const RunEvent& e : events)
        d.events.push_back({since(e.time), e.kind, e.zone, e.text});
    return d;
}
