// The run chart: its data on seconds from the start per zone, reduced to
// pixel columns without losing a spike, and the chart's window and read-out.
#include "history/chart/run_chart.h"

#include <QLineSeries>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr double kStart = 1'800'000'000;

// A run of two zones at time scale 2, sampled every 30 s of the wall clock
// for an hour: PV 100 + minutes of plan time on zone 1, 10 below on zone 2,
// the plan 1 above; segment 2 begins at 600 s of the wall clock.
StoredRun twoZones(std::vector<RunSample>& samples, std::vector<RunEvent>& events) {
    StoredRun run;
    run.id = 4;
    RunState& st = run.state;
    st.programName = "Bisque";
    st.programText = "[program]\nname = Bisque\nunit = C\nstart = 20\n[segments]\n"
                     "60 80 0:10\nfull 200 0:10\n";
    st.opened = kStart - 5;
    st.started = kStart;
    st.ended = kStart + 3600;
    st.timeScale = 2;
    st.zones.resize(2);
    for (double w = 0; w <= 3600; w += 30)
        for (int z = 0; z < 2; ++z) {
            const double pv = 100 + w * 2 / 60 - 10 * z;
            samples.push_back(RunSample{kStart + w, z, pv, std::nullopt, std::nullopt, pv + 1});
        }
    events = {{kStart, std::nullopt, EventKind::start, 0, ""},
              {kStart + 600, std::nullopt, EventKind::segment, 0, ""},
              {kStart + 1000, 1, EventKind::alarm, 1, "zone 2 too hot"},
              {kStart + 3600, std::nullopt, EventKind::end, 1, "completed"}};
    return run;
}

} // namespace

TEST(RunChart, ReducingToColumnsKeepsEverySpikeAndTheWindowsEdges) {
    ChartSeries s;
    for (int i = 0; i < 100000; ++i) {
        s.t.push_back(i);
        s.v.push_back(i == 55555 ? 900 : i == 77777 ? -50 : 100);
    }
    const auto whole = s.decimated(0, 99999, 300);
    EXPECT_LE(whole.size(), 600u);
    const auto [lo, hi] =
        std::minmax_element(whole.begin(), whole.end(), [](auto& a, auto& b) { return a.v < b.v; });
    EXPECT_EQ(hi->t, 55555);
    EXPECT_EQ(lo->t, 77777);
    EXPECT_TRUE(
        std::is_sorted(whole.begin(), whole.end(), [](auto& a, auto& b) { return a.t < b.t; }));

    // A window: the neighbours just outside it, so the line reaches its edges.
    const auto part = s.decimated(55000.5, 56000.5, 200);
    ASSERT_GE(part.size(), 2u);
    EXPECT_EQ(part.front().t, 55000);
    EXPECT_EQ(part.back().t, 56001);
    EXPECT_TRUE(std::any_of(part.begin(), part.end(), [](auto& p) { return p.v == 900; }));
    // Fewer samples than columns are drawn as they are.
    EXPECT_EQ(s.decimated(10, 20, 300).size(), 13u);
    EXPECT_TRUE(s.decimated(20, 10, 300).empty());
}

TEST(RunChart, ARunOnPlanSecondsWithItsBandsEventsWindowAndReadout) {
    std::vector<RunSample> samples;
    std::vector<RunEvent> events;
    const StoredRun run = twoZones(samples, events);
    RunChartData d = runChartData(run, samples, events);
    EXPECT_EQ(d.unit, "\xC2\xB0"
                      "C");
    EXPECT_EQ(d.length, 7200);
    ASSERT_EQ(d.zones.size(), 2u);
    EXPECT_EQ(d.zones[1].pv.t.size(), 121u);
    EXPECT_EQ(d.zones[1].pv.t[1], 60);
    ASSERT_EQ(d.bands.size(), 2u);
    EXPECT_EQ(d.bands[0].to, 1200);
    EXPECT_EQ(d.bands[1].segment, 1);
    EXPECT_EQ(d.bands[1].to, 7200);
    ASSERT_EQ(d.events.size(), 4u);
    EXPECT_EQ(d.events[2].at, 2000);
    EXPECT_EQ(d.events[2].text, "zone 2 too hot");

    RunChart chart;
    chart.resize(800, 500);
    chart.setRun(d);
    EXPECT_EQ(chart.windowFrom(), 0);
    EXPECT_EQ(chart.windowTo(), 7200);
    EXPECT_FALSE(chart.setWindow(900, 600));
    EXPECT_TRUE(chart.setWindow(600, 1200));
    EXPECT_EQ(chart.windowTo(), 1200);
    // Past the end it keeps the window's width and stays within the run.
    EXPECT_TRUE(chart.setWindow(7000, 8000));
    EXPECT_EQ(chart.windowFrom(), 6200);
    EXPECT_EQ(chart.readoutAt(3909).toStdString(), "1:05:09   zone 1 PV 165.0 \xC2\xB0"
                                                   "C   plan 166.0 \xC2\xB0"
                                                   "C   zone 2 PV "
                                                   "155.0 \xC2\xB0"
                                                   "C   plan 156.0 \xC2\xB0"
                                                   "C   segment 2");
    EXPECT_EQ(chart.readoutAt(8000).toStdString(),
              "2:13:20   zone 1 PV -   plan -   zone 2 PV -   plan -");

    // An earlier run laid over it: its series join, five at most.
    const auto lines = [&] {
        int n = 0;
        for (auto* s : chart.series())
            n += qobject_cast<QLineSeries*>(s) && s->type() == QAbstractSeries::SeriesTypeLine;
        return n;
    };
    const int alone = lines();
    for (int i = 0; i < RunChart::kMaxOverlays; ++i)
        EXPECT_TRUE(chart.addOverlay(d));
    EXPECT_FALSE(chart.addOverlay(d));
    EXPECT_EQ(lines(), alone + 2 * RunChart::kMaxOverlays);
    chart.setRun(d);
    EXPECT_EQ(chart.overlayCount(), 0);
}

// A driver lost half way and the run resumed 30 s later: no line crosses the
// gap, and the segment's band stops at the last sample and starts again.
TEST(RunChart, ALostDriverBreaksEveryLineAndBandUntilTheResume) {
    std::vector<RunSample> samples;
    std::vector<RunEvent> events;
    const StoredRun run = twoZones(samples, events);
    std::erase_if(samples, [](const RunSample& s) {
        return s.time > kStart + 1800 && s.time < kStart + 1830;
    });
    events.insert(events.begin() + 3,
                  {{kStart + 1800, std::nullopt, EventKind::silence, 1, "driver lost"},
                   {kStart + 1830, std::nullopt, EventKind::resume, 1, "resumed"}});
    const RunChartData d = runChartData(run, samples, events);
    EXPECT_EQ(d.breaks, std::vector<double>{3600});
    ASSERT_EQ(d.bands.size(), 3u);
    EXPECT_EQ(d.bands[1].to, 3600);
    EXPECT_EQ(d.bands[2].from, 3660);
    EXPECT_EQ(d.bands[2].segment, 1);

    RunChart chart;
    chart.resize(800, 500);
    chart.setRun(d);
    int before = 0, after = 0;
    for (auto* s : chart.series()) {
        const auto* line = qobject_cast<QLineSeries*>(s);
        if (!line || s->type() != QAbstractSeries::SeriesTypeLine || line->count() == 0) continue;
        const auto points = line->points();
        const bool early = points.front().x() <= 3600, late = points.back().x() > 3600;
        EXPECT_FALSE(early && late) << s->name().toStdString();
        before += early;
        after += late;
    }
    EXPECT_EQ(before, 4); // each zone's PV and plan, on either side
    EXPECT_EQ(after, 4);
}
