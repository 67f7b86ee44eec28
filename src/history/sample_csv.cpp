#include "history/sample_csv.h"

#include "base/csv_field.h"

#include "base/number_text.h"
#include "base/typed_number.h"
#include "history/run_figures.h"
#include "runs/program_file.h"
#include "runs/run_units.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <utility>

std::string isoUtcTime(double unixSeconds) {
    const double whole = std::floor(unixSeconds);
    long long ms = std::llround((unixSeconds - whole) * 1000.0);
    std::time_t t = std::time_t(whole);
    if (ms == 1000) {
        ++t;
        ms = 0;
    }
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &tm);
    std::string out(text, n);
    const std::string milli = formatWhole(1000 + ms);
    return out + "." + milli.substr(1) + "Z";
}

namespace {

std::string cell(const std::optional<double>& v) {
    return v ? numberText(roundedTo(*v, 2)) : std::string();
}

// "2027-01-15 09:00:00" and "+01:00", as the local clock had them.
std::pair<std::string, std::string> localTimeCells(double wall) {
    const std::time_t t = std::time_t(std::floor(wall));
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    const long off = tm.tm_gmtoff;
    const long a = off < 0 ? -off : off;
    const std::string hh = formatWhole(100 + a / 3600).substr(1);
    const std::string mm = formatWhole(100 + a / 60 % 60).substr(1);
    return {std::string(text, n), std::string(off < 0 ? "-" : "+") + hh + ":" + mm};
}

} // namespace

std::string samplesCsv(const StoredRun& run, const std::vector<RunSample>& stored,
                       const std::vector<RunEvent>& events) {
    const RunState& st = run.state;
    const RunUnits units = RunUnits::of(st);
    std::size_t zones = st.zones.size();
    std::vector<bool> output(zones, false);
    for (const RunSample& s : stored) {
        zones = std::max(zones, std::size_t(std::max(s.zone, 0)) + 1);
        output.resize(zones, false);
        if (s.zone >= 0 && s.output) output[std::size_t(s.zone)] = true;
    }
    const std::string unit = units.sign();
    std::string out = "elapsed s,local time,UTC offset,segment";
    for (std::size_t z = 0; z < zones; ++z) {
        const std::string n = z < st.zones.size()
                                  ? st.zones[z].port + " id " + formatWhole(st.zones[z].id)
                                  : "zone " + formatWhole(long(z + 1));
        out += "," + n + " PV" + unit + "," + n + " SV" + unit + "," + n + " plan SV" + unit;
        if (output[z]) out += "," + n + " output %";
    }
    out += "\n";
    const double start = st.started.value_or(st.opened);
    const auto spans = segmentSpans(st, events, stored.empty() ? start : stored.back().time);
    std::vector<std::string> row(zones * 4);
    for (std::size_t i = 0; i < stored.size();) {
        const double time = stored[i].time;
        std::fill(row.begin(), row.end(), std::string());
        for (; i < stored.size() && stored[i].time == time; ++i) {
            if (stored[i].zone < 0) continue;
            const RunSample s = units.sample(stored[i]);
            const std::size_t at = std::size_t(s.zone) * 4;
            row[at] = cell(s.pv);
            row[at + 1] = cell(s.sv);
            row[at + 2] = cell(s.planSv);
            row[at + 3] = cell(s.output);
        }
        std::string segment;
        for (const SegmentSpan& span : spans)
            if (time >= span.from && time <= span.to) segment = formatWhole(span.segment + 1);
        const auto [local, offset] = localTimeCells(time);
        out += numberText(roundedTo(time - start, 3)) + "," + local + "," + offset + "," + segment;
        for (std::size_t z = 0; z < zones; ++z)
            for (std::size_t c = 0; c < (output[z] ? 4u : 3u); ++c)
                out += "," + row[z * 4 + c];
        out += "\n";
    }
    return out;
}

namespace {

// "bisque.csv" less its ".csv", and with the ending put in its place.
std::string besideCsv(const std::string& csvPath, const std::string& ending) {
    const std::string ext = ".csv";
    const bool csv = csvPath.size() > ext.size() &&
                     csvPath.compare(csvPath.size() - ext.size(), ext.size(), ext) == 0 &&
                     csvPath[csvPath.size() - ext.size() - 1] != '/';
    return (csv ? csvPath.substr(0, csvPath.size() - ext.size()) : csvPath) + ending;
}

std::string zoneName(const RunState& st, const std::optional<int>& zone) {
    if (!zone) return "the run";
    const std::size_t z = std::size_t(std::max(*zone, 0));
    return z < st.zones.size() ? st.zones[z].port + " id " + formatWhole(st.zones[z].id)
                               : "zone " + formatWhole(long(z + 1));
}

} // namespace

std::string recordPathBeside(const std::string& csvPath) {
    return besideCsv(csvPath, ".record.txt");
}

std::string marksPathBeside(const std::string& csvPath) {
    return besideCsv(csvPath, ".marks.csv");
}

std::string recordText(const StoredRun& run, const std::optional<RunSeal>& seal,
                       const std::vector<RunEvent>& events) {
    const std::string id = formatWhole(run.id);
    std::string out = "# The record of run " + id + " beside its samples: `q7 runs verify " + id +
                      "` recomputes its seal from the run store.\n";
    out += "run = " + id + "\n";
    if (!seal) {
        out += "seal = not sealed: the run has not ended\n";
    } else {
        out += "seal = " + seal->hex + "\n";
        out += std::string("sealed = ") +
               (seal->atUpgrade ? "when the store was upgraded, not as it was recorded"
                                : "as it was recorded") +
               "\n";
    }
    for (const RunField& field : latestFields(events))
        out += "field " + field.key + " = " + field.value + "\n";
    for (const RunEvent& e : events)
        if (e.kind == EventKind::calibration)
            out += "calibration " + zoneName(run.state, e.zone) + " = " + e.text + "\n";
    return out;
}

std::string marksCsv(const StoredRun& run, const std::vector<RunEvent>& events) {
    const double start = run.state.started.value_or(run.state.opened);
    std::string out = "elapsed s,local time,UTC offset,mark\n";
    for (const RunEvent& e : events) {
        if (e.kind != EventKind::mark) continue;
        const auto [local, offset] = localTimeCells(e.time);
        out += numberText(roundedTo(e.time - start, 3)) + "," + local + "," + offset + "," +
               csvField(e.text) + "\n";
    }
    return out;
}
