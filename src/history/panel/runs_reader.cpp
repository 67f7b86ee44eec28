#include "history/panel/runs_reader.h"

#include "history/panel/alarm_events_list.h"

#include "base/atomic_file.h"
#include "history/run_history.h"
#include "history/sample_csv.h"

#include <QFileInfo>

RunsReader::RunsReader(const QString& path, QObject* parent) : QObject(parent), path_(path) {
    qRegisterMetaType<RunList>();
    qRegisterMetaType<OpenedRun>();
    qRegisterMetaType<ProgramTrend>();
    qRegisterMetaType<RunReport>();
}

RunsReader::~RunsReader() = default;

RunStore* RunsReader::store(QString* why) {
    if (store_) return store_.get();
    if (!QFileInfo::exists(path_)) {
        *why = "No run was recorded in this folder yet (" + path_ + ").";
        return nullptr;
    }
    auto opened = RunStore::open(path_.toStdString(), RunStore::Use::read);
    if (const auto* refusal = std::get_if<std::string>(&opened)) {
        *why = "The run store " + QString::fromStdString(*refusal);
        return nullptr;
    }
    store_ = std::move(std::get<std::unique_ptr<RunStore>>(opened));
    return store_.get();
}

namespace {

QString unread(const std::string& why) {
    return "The run store " + QString::fromStdString(why);
}

} // namespace

void RunsReader::list() {
    // Opened afresh each time: another program may have replaced the file.
    store_.reset();
    RunList out;
    RunStore* s = store(&out.problem);
    if (s) out = listOf(*s);
    emit listed(out);
}

RunList RunsReader::listOf(RunStore& s) {
    RunList out;
    // A store that does not read is told, and none of it listed: a list
    // with runs missing would read as the whole of it.
    const auto failed = [](const StoreFailure& f) {
        RunList none;
        none.problem = unread(f.why);
        return none;
    };
    const auto batches = batchNumbers(s);
    if (batches.failed()) return failed(batches.failure());
    const auto ids = s.runIds();
    if (ids.failed()) return failed(ids.failure());
    for (long long id : *ids) {
        auto f = loadFigures(s, id, *batches);
        if (f.failed()) return failed(f.failure());
        if (f.found()) out.runs.push_back(std::move(*f));
    }
    auto alarms = s.recentEvents(EventKind::alarm, AlarmEventsList::kMaxEvents);
    if (alarms.failed()) return failed(alarms.failure());
    out.alarmEvents = std::move(*alarms);
    return out;
}

void RunsReader::open(long long id, bool overlay) {
    QString why;
    RunStore* s = store(&why);
    auto report = s ? loadRunReport(*s, id) : std::nullopt;
    if (report.failed()) return emit failed(unread(report.why()));
    if (!report.found()) {
        emit failed(why.isEmpty() ? QString("Run %1 is no longer in the store.").arg(id) : why);
        return;
    }
    auto events = s->events(id);
    if (events.failed()) return emit failed(unread(events.why()));
    OpenedRun out{std::move(report->figures), std::move(*events), std::move(report->chart),
                  std::move(report->energy)};
    if (overlay) {
        emit overlaid(out);
    } else {
        emit opened(out);
    }
}

void RunsReader::trend(const QString& program) {
    QString why;
    RunStore* s = store(&why);
    ProgramTrend out;
    out.program = program;
    if (s) {
        const auto runs = programRuns(*s, program.toStdString());
        if (runs.failed()) return emit failed(unread(runs.why()));
        out.runs = int(runs->size());
        out.ramps = rampTrends(*runs);
    }
    emit trended(out);
}

void RunsReader::exportCsv(long long id, const QString& path) {
    QString why;
    RunStore* s = store(&why);
    const auto run = s ? s->load(id) : std::nullopt;
    if (run.failed()) return emit failed(unread(run.why()));
    if (!run.found()) {
        emit failed(why.isEmpty() ? QString("Run %1 is no longer in the store.").arg(id) : why);
        return;
    }
    // Nothing is written of samples that did not all read.
    const auto samples = s->samples(id);
    if (samples.failed()) return emit failed(unread(samples.why()));
    const auto events = s->events(id);
    if (events.failed()) return emit failed(unread(events.why()));
    std::string problem;
    if (!writeFileAtomically(path.toStdString(), samplesCsv(*run, *samples, *events), &problem)) {
        emit failed(path + " was not written: " + QString::fromStdString(problem));
        return;
    }
    emit exported(path);
}

void RunsReader::readReport(long long id, const QString& path) {
    QString why;
    RunStore* s = store(&why);
    auto report = s ? loadRunReport(*s, id) : std::nullopt;
    if (report.failed()) return emit failed(unread(report.why()));
    if (!report.found()) {
        emit failed(why.isEmpty() ? QString("Run %1 is no longer in the store.").arg(id) : why);
        return;
    }
    emit reportRead(*report, path);
}
