#include "history/run_figures.h"

#include "history/run_text.h"
#include "runs/plan.h"
#include "runs/run_order.h"
#include "runs/run_units.h"

#include <algorithm>
#include <cmath>

namespace {
using Span = SegmentSpan;
} // namespace

// A segment event carries the segment the run was in as it was told, so the
// one begun is counted on from the start's, along the program's run order
// (in a repeat, the first segment of the span follows its last); a long poll
// that passed several segments tells each.
std::vector<SegmentSpan> segmentSpans(const RunState& state, const std::vector<RunEvent>& events,
                                      double lastSample) {
    std::vector<Span> spans;
    std::optional<Span> open;
    const auto parsed = parseFiringProgram(state.programText);
    const auto* program = std::get_if<FiringProgram>(&parsed);
    const std::vector<ProgramStep> order =
        program && state.kind == RunKind::program ? runOrder(*program) : std::vector<ProgramStep>{};
    int step = -1; // of the open span on the run order; -1 where it is not known
    // A start begins at the segment's first step, a resume goes on at or
    // after the step the run was at.
    const auto stepOfSegment = [&](int segment, int from) {
        for (int i = std::max(from, 0); i < int(order.size()); ++i)
            if (order[std::size_t(i)].segment == segment) return i;
        return -1;
    };
    const auto opened = [&](int segment, double t) {
        Span s{segment, 0, t};
        if (step >= 0) s.cycle = order[std::size_t(step)].cycle;
        return s;
    };
    // Flags beside the times: GCC 12 takes an optional's value here for unset.
    bool waiting = false, paused = false;
    double waitingSince = 0, pausedSince = 0;
    const auto close = [&](double t, bool finished) {
        if (!open) return;
        if (waiting) open->heldBack += t - waitingSince;
        if (paused) open->paused += t - pausedSince;
        waiting = paused = false;
        open->to = t;
        open->finished = finished;
        spans.push_back(*open);
        open.reset();
    };
    for (const RunEvent& e : events) {
        switch (e.kind) {
        case EventKind::start:
        case EventKind::resume:
            close(e.time, false);
            step = stepOfSegment(e.segment, e.kind == EventKind::start ? 0 : step);
            open = opened(e.segment, e.time);
            break;
        case EventKind::segment:
            if (!open) break;
            {
                if (step >= 0) step = step + 1 < int(order.size()) ? step + 1 : -1;
                const int next = step >= 0 ? order[std::size_t(step)].segment : open->segment + 1;
                close(e.time, true);
                open = opened(next, e.time);
            }
            break;
        case EventKind::holdBackStart:
            // Another zone taking the place of the one waited for is the same wait.
            if (open && !waiting) {
                waiting = true;
                waitingSince = e.time;
            }
            break;
        case EventKind::holdBackEnd:
            if (open && waiting) open->heldBack += e.time - waitingSince;
            waiting = false;
            break;
        case EventKind::pause:
            if (open && !paused) {
                paused = true;
                pausedSince = e.time;
            }
            break;
        case EventKind::proceed:
            if (open && paused) open->paused += e.time - pausedSince;
            paused = false;
            break;
        case EventKind::end:
            close(e.time, state.outcome == RunOutcome::completed);
            break;
        case EventKind::silence:
            // The segment ran as far as the last sample of a driver that was
            // lost; the resume begins it again.
            if (driverLost(e)) close(e.time, false);
            break;
        default:
            break;
        }
    }
    // A run still going (or one whose process died) has run until its last sample.
    if (open) close(std::max(open->from, lastSample), false);
    return spans;
}

namespace {

bool earlier(const RunSample& s, double t) {
    return s.time < t;
}

// The slowest zone's rate on the ramp that runs from the span's start to
// rampEnds (wall seconds), per hour of plan time.
std::optional<double> rateReached(const std::vector<RunSample>& samples, const Span& span,
                                  double rampEnds, bool up, double scale) {
    // The poll that sees the next segment begin belongs to it: only the
    // samples before it end this one's ramp.
    const auto first = std::lower_bound(samples.begin(), samples.end(), span.from, earlier);
    const auto before = std::lower_bound(first, samples.end(), span.to, earlier);
    const auto last = std::lower_bound(first, before, rampEnds,
                                       [](const RunSample& s, double t) { return s.time <= t; });
    std::vector<const RunSample*> starts, ends;
    for (auto it = first; it != last; ++it) {
        if (!it->pv) continue;
        const std::size_t z = std::size_t(it->zone);
        if (z >= starts.size()) {
            starts.resize(z + 1, nullptr);
            ends.resize(z + 1, nullptr);
        }
        if (!starts[z]) starts[z] = &*it;
        ends[z] = &*it;
    }
    std::optional<double> slowest;
    for (std::size_t z = 0; z < starts.size(); ++z) {
        if (!starts[z] || ends[z]->time <= starts[z]->time) continue;
        const double rate =
            (*ends[z]->pv - *starts[z]->pv) / ((ends[z]->time - starts[z]->time) * scale) * 3600.0;
        if (!slowest || (up ? rate < *slowest : rate > *slowest)) slowest = rate;
    }
    return slowest;
}

// On a full-rate segment (fullUp: whether it heats) the kiln heats or cools
// as fast as it can: each zone's samples count from the first that reached
// its target within the band, as the rules judge it.
void addDeviations(SegmentFigures& f, const std::vector<RunSample>& samples, const Span& span,
                   std::optional<bool> fullUp, double band) {
    const auto first = std::lower_bound(samples.begin(), samples.end(), span.from, earlier);
    double sum = 0;
    long count = 0;
    std::vector<bool> reached;
    for (auto it = first; it != samples.end() && it->time < span.to; ++it) {
        if (!it->pv || !it->planSv) continue;
        if (fullUp) {
            const std::size_t z = std::size_t(std::max(it->zone, 0));
            if (reached.size() <= z) reached.resize(z + 1, false);
            if (!reached[z])
                reached[z] =
                    *fullUp ? *it->pv >= *it->planSv - band : *it->pv <= *it->planSv + band;
            if (!reached[z]) continue;
        }
        const double d = std::fabs(*it->pv - *it->planSv);
        f.largestDeviation = std::max(f.largestDeviation.value_or(0.0), d);
        sum += d;
        ++count;
    }
    if (count) f.meanDeviation = sum / double(count);
}

} // namespace

RunFigures runFigures(const StoredRun& run, const std::vector<RunSample>& stored,
                      const std::vector<RunEvent>& events) {
    RunFigures f;
    f.id = run.id;
    f.state = run.state;
    const RunUnits units = RunUnits::of(run.state);
    f.unit = units.shown();
    // Each zone's samples in the run's unit, so zones whose controllers
    // show different units are compared alike.
    std::vector<RunSample> converted;
    if (units.converts()) {
        converted.reserve(stored.size());
        for (const RunSample& s : stored)
            converted.push_back(units.sample(s));
    }
    const std::vector<RunSample>& samples = units.converts() ? converted : stored;
    const RunState& st = run.state;
    const double scale = st.timeScale > 0 ? st.timeScale : 1.0;
    const double lastSample =
        samples.empty() ? st.started.value_or(st.opened) : samples.back().time;
    if (st.started) f.lengthSeconds = (st.ended.value_or(lastSample) - *st.started) * scale;

    if (st.kind == RunKind::steps) {
        f.noPlan = "a run of the controller's own step program, with no plan to compare with";
        return f;
    }
    const auto parsed = parseFiringProgram(st.programText);
    if (const auto* why = std::get_if<ProgramError>(&parsed)) {
        f.noPlan = "its program no longer reads (line " + std::to_string(why->line) + ": " +
                   why->why + ")";
        return f;
    }
    const FiringProgram& program = std::get<FiringProgram>(parsed);
    const Plan plan(program, st.planStart);
    // The zones' display digits are not stored: tenths, which a display of
    // whole degrees reaches as it shows the target.
    const double band = nearBand(program, program.unit, 1);

    for (const Span& span : segmentSpans(st, events, lastSample)) {
        SegmentFigures s;
        s.segment = span.segment;
        s.cycle = span.cycle;
        s.cycles = span.cycle && program.repeat ? program.repeat->times : 0;
        // In a repeat, the piece of the span's own cycle where the plan holds it.
        auto piece =
            std::find_if(plan.pieces().begin(), plan.pieces().end(), [&](const Plan::Piece& p) {
                return p.segment == span.segment && p.cycle == span.cycle;
            });
        if (piece == plan.pieces().end())
            piece = std::find_if(plan.pieces().begin(), plan.pieces().end(),
                                 [&](const Plan::Piece& p) { return p.segment == span.segment; });
        if (piece != plan.pieces().end()) {
            s.ramp = piece->from != piece->to;
            s.plannedSeconds = piece->rampSeconds + piece->holdSeconds;
            s.plannedHoldSeconds = piece->holdSeconds;
        }
        s.pausedSeconds = span.paused * scale;
        s.actualSeconds = std::max(0.0, span.to - span.from - span.paused) * scale;
        s.heldBackSeconds = span.heldBack * scale;
        s.finished = span.finished;
        std::optional<bool> fullUp;
        if (piece != plan.pieces().end() && !piece->rate) {
            fullUp = piece->up;
            if (std::find(f.fullRateSegments.begin(), f.fullRateSegments.end(), span.segment) ==
                f.fullRateSegments.end())
                f.fullRateSegments.push_back(span.segment);
        }
        addDeviations(s, samples, span, fullUp, band);
        if (s.finished && s.ramp && piece != plan.pieces().end()) {
            s.rampSeconds = std::max(0.0, s.actualSeconds - s.plannedHoldSeconds);
            const double rampEnds = std::max(span.from, span.to - s.plannedHoldSeconds / scale);
            s.rateReached = rateReached(samples, span, rampEnds, piece->up, scale);
        }
        f.heldBackSeconds += s.heldBackSeconds;
        if (s.largestDeviation)
            f.largestDeviation = std::max(f.largestDeviation.value_or(0.0), *s.largestDeviation);
        f.segments.push_back(s);
    }
    return f;
}

namespace {

// "1-3, 5": segments counted from 1, in order, runs of them joined.
std::string segmentList(std::vector<int> segments) {
    std::sort(segments.begin(), segments.end());
    segments.erase(std::unique(segments.begin(), segments.end()), segments.end());
    std::string text;
    for (std::size_t i = 0; i < segments.size();) {
        std::size_t j = i;
        while (j + 1 < segments.size() && segments[j + 1] == segments[j] + 1)
            ++j;
        text += (text.empty() ? "" : ", ") + std::to_string(segments[i] + 1);
        if (j > i) text += "-" + std::to_string(segments[j] + 1);
        i = j + 1;
    }
    return text;
}

} // namespace

std::string deviationCoverage(const RunFigures& f) {
    if (f.fullRateSegments.empty() || !f.largestDeviation) return "";
    std::vector<int> others;
    for (const SegmentFigures& s : f.segments)
        if (std::find(f.fullRateSegments.begin(), f.fullRateSegments.end(), s.segment) ==
            f.fullRateSegments.end())
            others.push_back(s.segment);
    std::sort(others.begin(), others.end());
    others.erase(std::unique(others.begin(), others.end()), others.end());
    const bool one = f.fullRateSegments.size() == 1;
    return " (" +
           (others.empty()
                ? std::string()
                : (others.size() == 1 ? "segment " : "segments ") + segmentList(others) + "; ") +
           (one ? "full-rate segment " : "full-rate segments ") + segmentList(f.fullRateSegments) +
           (one ? " not counted until it reached its target)"
                : " not counted until they reached their targets)");
}

std::string segmentNote(const SegmentFigures& s) {
    std::string note;
    const auto add = [&](const std::string& what) { note += (note.empty() ? "" : "; ") + what; };
    if (s.cycle) add("cycle " + std::to_string(s.cycle) + " of " + std::to_string(s.cycles));
    if (!s.finished) add("not finished");
    if (s.pausedSeconds > 0) add("paused " + durationText(s.pausedSeconds));
    return note;
}
