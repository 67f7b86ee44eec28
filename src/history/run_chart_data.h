#pragma once
// A stored run as a chart draws it, with no Qt: per zone the PV and the
// plan's SV as series, the segments as bands and the events as marks, all
// on seconds from the run's start (plan seconds, as the figures count them),
// so earlier runs laid over it line up at their start. The Runs panel and
// the PDF report both draw it through RunChart (history/chart/run_chart.h).
//
// A series keeps its samples in flat arrays sorted by time, so a window of
// it is found by binary search and reduced to the pixel columns that show
// it, the lowest and the highest sample of each column: a spike of one
// sample is never dropped, however long the run.
#include "runs/run_record.h"
#include "runs/run_store.h"
#include "runs/run_units.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct ChartPoint {
    double t = 0, v = 0;
};

struct ChartSeries {
    std::vector<double> t, v; // as long as each other, t ascending

    bool empty() const { return t.empty(); }
    // The first sample at or after seconds.
    std::size_t firstFrom(double seconds) const;
    // The last sample at or before seconds; nothing before the first.
    std::optional<double> valueAt(double seconds) const;
    // The samples from `from` to `to` in at most about 2 * columns points,
    // each column's lowest and highest in the order they came, with the
    // neighbours just outside the window so a line reaches its edges.
    std::vector<ChartPoint> decimated(double from, double to, int columns) const;
};

struct ZoneSeries {
    ChartSeries pv, plan; // plan: the SV the plan had the zone at
};

struct ChartBand {
    double from = 0, to = 0;
    int segment = 0; // the program's, counted from 0
};

struct ChartEvent {
    double at = 0;
    EventKind kind = EventKind::start;
    std::optional<int> zone;
    std::string text;
};

struct RunChartData {
    long long id = 0;
    std::string program;
    std::string unit;  // "°C", the run's (RunUnits) every value is in; empty where none is known
    double length = 0; // seconds from the start to the last sample or the end
    std::vector<ZoneSeries> zones; // by the run's zone, counted from 0
    std::vector<ChartBand> bands;
    std::vector<ChartEvent> events;
    // Where the lines break, ascending: the run's driver was lost after its
    // sample there, and nothing was sampled until the run was resumed. No
    // line is drawn across the gap.
    std::vector<double> breaks;

    // The lowest and the highest value any series holds; nothing without samples.
    std::optional<std::pair<double, double>> valueRange() const;
};

// The chart's data of a run from what the store holds of it. Samples and
// events come in the store's order (by time).
RunChartData runChartData(const StoredRun& run, const std::vector<RunSample>& samples,
                          const std::vector<RunEvent>& events);

// The same, made a sample at a time as the store reads them
// (RunStore::eachSample), so a long run's samples are never all held at
// once beside its series.
// A stored run's chart data read from the store, its samples taken as they
// are read; why not, where the store did not read.
StoreRead<RunChartData> storedRunChart(RunStore& store, const StoredRun& run);

class RunChartBuilder {
  public:
    explicit RunChartBuilder(const StoredRun& run);
    // How many samples will come: each zone's series is reserved its share,
    // so a long run's arrays are not grown a step at a time.
    void reserve(std::size_t samples);
    void add(const RunSample& sample);
    RunChartData finish(const std::vector<RunEvent>& events);

  private:
    const StoredRun& run_;
    RunUnits units_;
    RunChartData d_;
    double start_ = 0, scale_ = 1;
    std::optional<double> lastSample_;
};
