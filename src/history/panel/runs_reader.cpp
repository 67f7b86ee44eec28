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
    auto opened = RunStore::open(path_.toStdString());
    if (const auto* refusal = std::get_if<std::string>(&opened)) {
        *why = "The run store " + QString::fromStdString(*refusal);
        return nullptr;
    }
    store_ = std::move(std::get<std::unique_ptr<RunStore>>(opened));
    return store_.get();
}

void RunsReader::list() {
    // Opened afresh each time: another program may have replaced the file.
    store_.reset();
    RunList out;
    RunStore* s = store(&out.problem);
    if (s) {
        // A damaged store was kept aside and a new one begun: said once, here.
        out.problem = QString::fromStdString(s->notice());
        const auto batches = batchNumbers(*s);
        for (long long id : s->runIds())
            if (auto f = loadFigures(*s, id, batches)) out.runs.push_back(std::move(*f));
        out.alarmEvents = s->recentEvents(EventKind::alarm, AlarmEventsList::kMaxEvents);
    }
    emit listed(out);
}

void RunsReader::open(long long id, bool overlay) {
    QString why;
    RunStore* s = store(&why);
    auto report = s ? loadRunReport(*s, id) : std::nullopt;
    if (!report) {
        emit failed(why.isEmpty() ? QString("Run %1 is no longer in the store.").arg(id) : why);
        return;
    }
    OpenedRun out{std::move(report->figures), s->events(id), std::move(report->chart),
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
        out.runs = int(runs.size());
        out.ramps = rampTrends(runs);
    }
    emit trended(out);
}

void RunsReader::exportCsv(long long id, const QString& path) {
    QString why;
    RunStore* s = store(&why);
    const auto run = s ? s->load(id) : std::nullopt;
    if (!run) {
        emit failed(why.isEmpty() ? QString("Run %1 is no longer in the store.").arg(id) : why);
        return;
    }
    std::string problem;
    if (!writeFileAtomically(path.toStdString(),
                             samplesCsv(run->state.zones.size(), s->samples(id)), &problem)) {
        emit failed(path + " was not written: " + QString::fromStdString(problem));
        return;
    }
    emit exported(path);
}

void RunsReader::readReport(long long id, const QString& path) {
    QString why;
    RunStore* s = store(&why);
    auto report = s ? loadRunReport(*s, id) : std::nullopt;
    if (!report) {
        emit failed(why.isEmpty() ? QString("Run %1 is no longer in the store.").arg(id) : why);
        return;
    }
    emit reportRead(*report, path);
}
