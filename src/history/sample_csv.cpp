#include "history/sample_csv.h"

#include "base/number_text.h"
#include "runs/program_file.h"

#include <algorithm>
#include <cmath>
#include <ctime>

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
    return v ? numberText(*v) : std::string();
}

} // namespace

std::string samplesCsv(std::size_t zones, const std::vector<RunSample>& samples) {
    for (const RunSample& s : samples)
        zones = std::max(zones, std::size_t(std::max(s.zone, 0)) + 1);
    std::string out = "time";
    for (std::size_t z = 1; z <= zones; ++z) {
        const std::string n = "zone" + formatWhole(long(z));
        out += "," + n + "_pv," + n + "_sv," + n + "_output";
    }
    out += "\n";
    std::vector<std::string> row(zones * 3);
    for (std::size_t i = 0; i < samples.size();) {
        const double time = samples[i].time;
        std::fill(row.begin(), row.end(), std::string());
        for (; i < samples.size() && samples[i].time == time; ++i) {
            const RunSample& s = samples[i];
            if (s.zone < 0) continue;
            const std::size_t at = std::size_t(s.zone) * 3;
            row[at] = cell(s.pv);
            row[at + 1] = cell(s.sv);
            row[at + 2] = cell(s.output);
        }
        out += isoUtcTime(time);
        for (const std::string& c : row)
            out += "," + c;
        out += "\n";
    }
    return out;
}
