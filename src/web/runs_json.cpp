#include "web/runs_json.h"

#include "base/clock.h"
#include "base/number_text.h"
#include "base/time_text.h"
#include "history/run_chart_data.h"
#include "runs/held_back.h"
#include "runs/plan.h"
#include "runs/program_file.h"
#include "runs/run_engine.h"
#include "runs/run_order.h"
#include "runs/run_store.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// Local time with its offset, as the controllers' states give it.
void putTime(QJsonObject& o, const char* key, const std::optional<double>& t) {
    if (t) o.insert(QLatin1String(key), text(localIsoText(*t)));
}

// A zone as the bridge names it: its line, where a line of the bridge is on
// that port; else the port, as the run recorded it.
std::string lineOf(const std::string& port, const LinePorts& lines) {
    for (const auto& [line, on] : lines)
        if (on == port) return line;
    return port;
}

QJsonObject runObject(const StoredRun& run, const LinePorts& lines,
                      const std::string& heldBack = {}) {
    const RunState& s = run.state;
    QJsonObject o;
    o.insert("id", double(run.id));
    o.insert("program", text(s.programName));
    o.insert("phase", phaseName(s.phase));
    if (s.outcome) o.insert("outcome", outcomeName(*s.outcome));
    if (s.phase == RunPhase::paused) o.insert("reason", text(s.pauseReason));
    if (!heldBack.empty()) o.insert("held_back", text(heldBack));
    putTime(o, "opened", s.opened);
    putTime(o, "started", s.started);
    putTime(o, "ended", s.ended);
    o.insert("segment", s.segment + 1);
    QJsonArray zones;
    for (const ZoneState& z : s.zones)
        zones.append(QJsonObject{{"line", text(lineOf(z.port, lines))}, {"id", z.id}});
    o.insert("zones", zones);
    if (s.kind == RunKind::program && s.phase != RunPhase::ended) {
        const auto program = parseFiringProgram(s.programText);
        if (const auto* p = std::get_if<FiringProgram>(&program)) {
            const Plan plan(*p, s.planStart);
            const double toGo = runSecondsToGo(plan, s);
            o.insert("segments", int(p->segments.size()));
            if (const ProgramStep c = stepOf(*p, stepAt(*p, s.planStart, s.planClock)); c.cycle) {
                o.insert("cycle", c.cycle);
                o.insert("cycles", p->repeat->times);
            }
            o.insert("time_to_go", double(std::lround(toGo)));
            // What the plan asks for now, in the program's unit, to its
            // tenth; and when it ends on the clock, as the run last knew it.
            o.insert("plan_sv", std::round(plan.svAt(s.planClock) * 10) / 10);
            if (s.phase != RunPhase::paused && s.phase != RunPhase::waiting)
                putTime(o, "finish", wallSeconds() + toGo);
            o.insert("unit", text(std::string(trimmed(unitSign(p->unit)))));
        }
    }
    return o;
}

QJsonArray points(const ChartSeries& series) {
    QJsonArray out;
    if (series.empty()) return out;
    // Each column keeps its lowest and highest sample: two points a column.
    for (const ChartPoint& p :
         series.decimated(series.t.front(), series.t.back(), kMaxChartPoints / 2))
        out.append(QJsonArray{p.t, p.v});
    return out;
}

std::string compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

RunsAnswer failedAnswer(const std::string& why) {
    return {500, compact(QJsonObject{{"error", text("the run store " + why)}})};
}

} // namespace

RunsJson::RunsJson(std::string path) : path_(std::move(path)) {}
RunsJson::~RunsJson() = default;

RunStore* RunsJson::store(std::string* why) {
    struct stat st {};
    const bool there = ::stat(path_.c_str(), &st) == 0;
    // A store read as it stood is read afresh for each answer, so what was
    // recorded since is seen.
    if (store_ && (store_->snapshot() || !there || st.st_dev != device_ || st.st_ino != inode_))
        store_.reset();
    if (store_) return store_.get();
    if (!there) return nullptr;
    auto opened = RunStore::open(path_, RunStore::Use::read);
    if (auto* s = std::get_if<std::unique_ptr<RunStore>>(&opened)) {
        store_ = std::move(*s);
        device_ = st.st_dev;
        inode_ = st.st_ino;
    } else {
        *why = std::get<std::string>(opened);
    }
    return store_.get();
}

RunsAnswer RunsJson::runs(const LinePorts& lines) {
    QJsonArray open, recent;
    std::string why;
    if (RunStore* s = store(&why)) {
        const auto unfinished = s->unfinished();
        if (unfinished.failed()) return failedAnswer(unfinished.why());
        for (long long id : *unfinished) {
            const auto run = s->load(id);
            if (run.failed()) return failedAnswer(run.why());
            if (!run.found()) continue;
            std::string held;
            if (run->state.phase == RunPhase::running) {
                const auto events = s->events(id);
                if (events.failed()) return failedAnswer(events.why());
                const auto last = s->lastSamples(id);
                if (last.failed()) return failedAnswer(last.why());
                held = heldBackText(run->state, *events, *last, wallSeconds());
            }
            open.append(runObject(*run, lines, held));
        }
        // Newest first, and only as far as the twentieth ended run.
        const auto ids = s->runIds();
        if (ids.failed()) return failedAnswer(ids.why());
        for (long long id : *ids) {
            if (recent.size() >= kRecentRuns) break;
            const auto run = s->load(id);
            if (run.failed()) return failedAnswer(run.why());
            if (run.found() && run->state.phase == RunPhase::ended)
                recent.append(runObject(*run, lines));
        }
    } else if (!why.empty()) {
        return failedAnswer(why);
    }
    return {200, compact(QJsonObject{{"open", open}, {"recent", recent}})};
}

std::optional<RunsAnswer> RunsJson::run(long long id, const LinePorts& lines) {
    std::string why;
    RunStore* s = store(&why);
    if (!s) return why.empty() ? std::nullopt : std::optional(failedAnswer(why));
    const auto stored = s->load(id);
    if (stored.failed()) return failedAnswer(stored.why());
    if (!stored.found()) return std::nullopt;
    const auto read = storedRunChart(*s, *stored);
    if (read.failed()) return failedAnswer(read.why());
    const RunChartData& data = *read;
    QJsonObject o = runObject(*stored, lines);
    o.insert("length", data.length);
    QJsonArray zones;
    for (const ZoneSeries& z : data.zones)
        zones.append(QJsonObject{{"pv", points(z.pv)}, {"plan", points(z.plan)}});
    o.insert("series", zones);
    QJsonArray bands;
    for (const ChartBand& b : data.bands)
        bands.append(QJsonObject{{"from", b.from}, {"to", b.to}, {"segment", b.segment + 1}});
    o.insert("bands", bands);
    // The whole plan, so the chart shows what is still to come.
    if (stored->state.kind == RunKind::program) {
        const auto program = parseFiringProgram(stored->state.programText);
        if (const auto* p = std::get_if<FiringProgram>(&program)) {
            QJsonArray planned;
            const Plan plan(*p, stored->state.planStart);
            for (const Plan::Piece& piece : plan.pieces()) {
                planned.append(QJsonArray{piece.begins, piece.from});
                planned.append(QJsonArray{piece.begins + piece.rampSeconds, piece.to});
                planned.append(QJsonArray{piece.ends(), piece.to});
            }
            o.insert("planned", planned);
        }
    }
    return RunsAnswer{200, compact(o)};
}
