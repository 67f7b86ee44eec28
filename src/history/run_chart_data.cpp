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

RunChartBuilder::RunChartBuilder(const StoredRun& run)
    : run_(run), units_(RunUnits::of(run.state)) {
    const RunState& st = run.state;
    d_.id = run.id;
    d_.program = st.programName;
    d_.unit = std::string(trimmed(units_.sign()));
    start_ = st.started.value_or(st.opened);
    scale_ = st.timeScale > 0 ? st.timeScale : 1.0;
    d_.zones.resize(st.zones.size());
}

void RunChartBuilder::reserve(std::size_t samples) {
    // Each zone has one sample a poll.
    const std::size_t share = samples / std::max<std::size_t>(d_.zones.size(), 1) + 1;
    for (ZoneSeries& z : d_.zones)
        for (ChartSeries* s : {&z.pv, &z.plan}) {
            s->t.reserve(share);
            s->v.reserve(share);
        }
}

void RunChartBuilder::add(const RunSample& sampled) {
    const RunSample s = units_.sample(sampled);
    lastSample_ = s.time;
    if (s.zone < 0) return;
    // A sample of a zone the run does not list still has its series.
    if (std::size_t(s.zone) >= d_.zones.size()) d_.zones.resize(std::size_t(s.zone) + 1);
    ZoneSeries& z = d_.zones[std::size_t(s.zone)];
    const double t = (s.time - start_) * scale_;
    const auto put = [](ChartSeries& series, double at, double v) {
        // The store gives samples by time; a clock stepped back must not
        // break the order every search relies on.
        if (!series.t.empty() && at < series.t.back()) return;
        series.t.push_back(at);
        series.v.push_back(v);
    };
    if (s.pv) put(z.pv, t, *s.pv);
    if (s.planSv) put(z.plan, t, *s.planSv);
    d_.length = std::max(d_.length, t);
}

RunChartData RunChartBuilder::finish(const std::vector<RunEvent>& events) {
    const RunState& st = run_.state;
    const auto since = [&](double wall) { return (wall - start_) * scale_; };
    if (st.ended) d_.length = std::max(d_.length, since(*st.ended));
    for (const SegmentSpan& span : segmentSpans(st, events, lastSample_.value_or(start_)))
        d_.bands.push_back({since(span.from), since(span.to), span.segment});
    for (const RunEvent& e : events) {
        d_.events.push_back({since(e.time), e.kind, e.zone, e.text});
        if (driverLost(e) && (d_.breaks.empty() || since(e.time) > d_.breaks.back()))
            d_.breaks.push_back(since(e.time));
    }
    return std::move(d_);
}

RunChartData runChartData(const StoredRun& run, const std::vector<RunSample>& samples,
                          const std::vector<RunEvent>& events) {
    RunChartBuilder chart(run);
    chart.reserve(samples.size());
    for (const RunSample& s : samples)
        chart.add(s);
    return chart.finish(events);
}

StoreRead<RunChartData> storedRunChart(RunStore& store, const StoredRun& run) {
    RunChartBuilder chart(run);
    const auto read = store.eachSample(
        run.id, [&](std::size_t count) { chart.reserve(count); },
        [&](const RunSample& s) { chart.add(s); });
    if (read.failed()) return read.failure();
    const auto events = store.events(run.id);
    if (events.failed()) return events.failure();
    return chart.finish(*events);
}
