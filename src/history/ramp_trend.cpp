#include "history/ramp_trend.h"

#include "runs/program_file.h"

#include <algorithm>

namespace {

constexpr std::size_t kLastRuns = 3;
constexpr std::size_t kEarlierRuns = 2;
constexpr double kSlowerBy = 1.02;

std::optional<FiringProgram> programOf(const RunFigures& run) {
    auto parsed = parseFiringProgram(run.state.programText);
    if (auto* p = std::get_if<FiringProgram>(&parsed)) return std::move(*p);
    return std::nullopt;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

} // namespace

std::optional<double> slowerThanBefore(const std::vector<double>& times) {
    if (times.size() < kLastRuns + kEarlierRuns) return std::nullopt;
    const auto split = times.end() - std::ptrdiff_t(kLastRuns);
    const double before = median(std::vector<double>(times.begin(), split));
    for (auto it = split; it != times.end(); ++it)
        if (*it <= before * kSlowerBy) return std::nullopt;
    return before;
}

std::vector<RampTrend> rampTrends(const std::vector<RunFigures>& runs) {
    std::vector<RampTrend> trends;
    std::optional<FiringProgram> newest;
    for (auto it = runs.rbegin(); it != runs.rend() && !newest; ++it)
        newest = programOf(*it);
    if (!newest) return trends;
    for (std::size_t i = 0; i < newest->segments.size(); ++i) {
        const ProgramSegment& want = newest->segments[i];
        RampTrend t;
        t.segment = int(i);
        t.label = segmentText(*newest, int(i));
        std::vector<double> times;
        for (const RunFigures& run : runs) {
            const auto program = programOf(run);
            // A segment edited since is another ramp: its times do not compare.
            if (!program || program->segments.size() <= i ||
                program->segments[i].rate != want.rate ||
                program->segments[i].target != want.target)
                continue;
            for (const SegmentFigures& s : run.segments)
                if (s.segment == int(i) && s.rampSeconds) {
                    t.points.push_back({run.id, run.batch, *s.rampSeconds});
                    times.push_back(*s.rampSeconds);
                    break;
                }
        }
        if (t.points.empty()) continue;
        t.slowerThan = slowerThanBefore(times);
        trends.push_back(std::move(t));
    }
    return trends;
}
