#include "history/panel/runs_panel.h"

#include "history/panel/alarm_events_list.h"

#include "base/atomic_file.h"
#include "history/panel/trend_chart.h"
#include "history/report/run_report.h"
#include "history/run_text.h"
#include "runs/program_file.h"
#include "ui_runs_panel.h"

#include <QFileDialog>
#include <QHeaderView>

#include <algorithm>
#include <set>

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QTableWidgetItem* cell(const QString& value, long long id = 0) {
    auto* item = new QTableWidgetItem(value);
    if (id) item->setData(Qt::UserRole, id);
    return item;
}

// The runs list's row of a run: what `q7 runs` prints of it.
QStringList rowOf(const RunFigures& f) {
    const RunState& st = f.state;
    return {QString::number(f.id),
            text(st.programName),
            f.batch ? QString::number(f.batch) : "-",
            text(zonesText(st)),
            st.started ? text(dateAndTime(*st.started)) : "not started",
            f.lengthSeconds ? text(durationText(*f.lengthSeconds)) : "-",
            text(outcomeText(st)),
            text(deviationText(f.largestDeviation, f.unit)),
            f.noPlan.empty() ? text(durationText(f.heldBackSeconds)) : "-"};
}

void fillTable(QTableWidget* table, const std::vector<QStringList>& rows, long long id = 0) {
    table->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < int(rows[r].size()) && c < table->columnCount(); ++c)
            table->setItem(r, c, cell(rows[r][c], id));
}

// Selects the entry of a filter that reads `wanted`, the first when none does.
void refill(QComboBox* box, const QString& every, const std::set<std::string>& entries) {
    const QString wanted = box->currentIndex() > 0 ? box->currentText() : QString();
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItem(every);
    for (const std::string& e : entries)
        box->addItem(text(e));
    box->setCurrentIndex(std::max(0, box->findText(wanted)));
}

} // namespace

RunsPanel::RunsPanel(const QString& storePath, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::RunsPanel>()), reader_(new RunsReader(storePath)) {
    ui_->setupUi(this);
    ui_->runsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui_->segmentTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui_->eventTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The chart takes the room: the list's columns scroll, the chart's axes do not.
    ui_->mainSplitter->setStretchFactor(0, 3);
    ui_->mainSplitter->setStretchFactor(1, 2);
    ui_->mainSplitter->setSizes({350, 200});
    ui_->topSplitter->setStretchFactor(0, 2);
    ui_->topSplitter->setStretchFactor(1, 3);
    ui_->topSplitter->setSizes({400, 600});
    ui_->trendView->setRenderHint(QPainter::Antialiasing);
    alarmEvents_ = new AlarmEventsList;
    ui_->detailTabs->addTab(alarmEvents_, "Alarms");

    reader_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, reader_, &QObject::deleteLater);
    connect(this, &RunsPanel::listRequested, reader_, &RunsReader::list);
    connect(this, &RunsPanel::runRequested, reader_, &RunsReader::open);
    connect(this, &RunsPanel::trendRequested, reader_, &RunsReader::trend);
    connect(this, &RunsPanel::exportRequested, reader_, &RunsReader::exportCsv);
    connect(this, &RunsPanel::reportRequested, reader_, &RunsReader::readReport);
    connect(reader_, &RunsReader::reportRead, this, &RunsPanel::writeReport);
    connect(reader_, &RunsReader::listed, this, &RunsPanel::showList);
    connect(reader_, &RunsReader::opened, this, &RunsPanel::showRun);
    connect(reader_, &RunsReader::overlaid, this, &RunsPanel::addOverlay);
    connect(reader_, &RunsReader::trended, this, &RunsPanel::showTrend);
    connect(reader_, &RunsReader::failed, this, [this](const QString& why) { tell(why, true); });
    connect(reader_, &RunsReader::exported, this,
            [this](const QString& path) { tell("The samples were written to " + path + "."); });
    thread_.start();

    connect(ui_->programFilter, &QComboBox::currentIndexChanged, this, &RunsPanel::applyFilters);
    connect(ui_->outcomeFilter, &QComboBox::currentIndexChanged, this, &RunsPanel::applyFilters);
    connect(ui_->refreshButton, &QPushButton::clicked, this, &RunsPanel::refresh);
    connect(ui_->runsTable, &QTableWidget::itemSelectionChanged, this, &RunsPanel::openSelected);
    connect(ui_->overlayButton, &QPushButton::clicked, this, &RunsPanel::overlaySelected);
    connect(ui_->overlayLastButton, &QPushButton::clicked, this,
            [this] { overlayLast(ui_->lastCount->value()); });
    connect(ui_->clearOverlayButton, &QPushButton::clicked, this, &RunsPanel::clearOverlays);
    connect(ui_->exportButton, &QPushButton::clicked, this, &RunsPanel::chooseExport);
    connect(ui_->reportButton, &QPushButton::clicked, this, &RunsPanel::chooseReport);
    ui_->lastCount->setMaximum(kMaxOverlays);
    refill(ui_->programFilter, "every program", {});
    refill(ui_->outcomeFilter, "every outcome", {});
    showTrend({});
    refresh();
}

RunsPanel::~RunsPanel() {
    // The reader goes with its thread, which waits for what it is doing.
    thread_.quit();
    thread_.wait();
}

const RunChart& RunsPanel::chart() const {
    return ui_->chartView->runChart();
}

std::vector<long long> RunsPanel::listedRuns() const {
    std::vector<long long> ids;
    for (int r = 0; r < ui_->runsTable->rowCount(); ++r)
        ids.push_back(ui_->runsTable->item(r, 0)->data(Qt::UserRole).toLongLong());
    return ids;
}

const RunFigures* RunsPanel::listed(long long id) const {
    const auto it =
        std::find_if(runs_.begin(), runs_.end(), [id](const RunFigures& f) { return f.id == id; });
    return it == runs_.end() ? nullptr : &*it;
}

void RunsPanel::refresh() {
    tell("Reading the run store...");
    trendProgram_.clear();
    emit listRequested();
}

void RunsPanel::addAlarmEvent(const AlarmEvent& event) {
    alarmEvents_->addEvent(event);
}

void RunsPanel::showList(const RunList& list) {
    runs_ = list.runs;
    alarmEvents_->setStored(list.alarmEvents);
    fillFilters();
    applyFilters();
    if (!list.problem.isEmpty()) return tell(list.problem, true);
    tell(runs_.empty() ? "The store holds no runs." : QString("%1 runs.").arg(runs_.size()));
}

void RunsPanel::fillFilters() {
    std::set<std::string> programs, outcomes;
    for (const RunFigures& f : runs_) {
        programs.insert(f.state.programName);
        outcomes.insert(outcomeText(f.state));
    }
    refill(ui_->programFilter, "every program", programs);
    refill(ui_->outcomeFilter, "every outcome", outcomes);
}

void RunsPanel::applyFilters() {
    const bool anyProgram = ui_->programFilter->currentIndex() <= 0;
    const bool anyOutcome = ui_->outcomeFilter->currentIndex() <= 0;
    const std::string program = ui_->programFilter->currentText().toStdString();
    const std::string outcome = ui_->outcomeFilter->currentText().toStdString();
    QTableWidget* table = ui_->runsTable;
    const QSignalBlocker quiet(table);
    table->clearContents();
    table->setRowCount(0);
    for (const RunFigures& f : runs_) {
        if (!anyProgram && f.state.programName != program) continue;
        if (!anyOutcome && outcomeText(f.state) != outcome) continue;
        const int r = table->rowCount();
        table->insertRow(r);
        const QStringList row = rowOf(f);
        for (int c = 0; c < row.size(); ++c)
            table->setItem(r, c, cell(row[c], f.id));
        if (f.id == shownRun()) table->selectRow(r);
    }
}

void RunsPanel::openSelected() {
    const QModelIndexList rows = ui_->runsTable->selectionModel()->selectedRows();
    // A second row selected is one to overlay, not one to open.
    if (rows.size() != 1) return;
    const long long id = rows.front().data(Qt::UserRole).toLongLong();
    if (id != shownRun()) openRun(id);
}

void RunsPanel::openRun(long long id) {
    requested_ = id;
    tell(QString("Reading run %1...").arg(id));
    emit runRequested(id, false);
}

void RunsPanel::showRun(const OpenedRun& run) {
    // An answer to a run asked for before the one asked for last is late.
    if (run.figures.id != requested_) return;
    shown_ = std::make_unique<OpenedRun>(OpenedRun{run.figures, run.events, {}, run.energy});
    overlays_.clear();
    pending_.clear();
    ui_->chartView->runChart().setRun(run.chart);
    const RunFigures& f = shown_->figures;
    const RunState& st = f.state;
    QString about = QString("Run %1: %2, %3, %4")
                        .arg(f.id)
                        .arg(text(st.programName))
                        .arg(f.batch ? QString("batch %1").arg(f.batch) : QString("no batch"))
                        .arg(text(outcomeText(st)));
    if (st.started) about += "; started " + text(dateAndTime(*st.started));
    if (f.lengthSeconds) about += ", " + text(durationText(*f.lengthSeconds)) + " long";
    if (f.noPlan.empty()) {
        about += "; held back " + text(durationText(f.heldBackSeconds)) +
                 "; largest deviation from the plan " +
                 text(deviationText(f.largestDeviation, f.unit) + deviationCoverage(f));
    } else {
        about += "; " + text(f.noPlan);
    }
    ui_->runLabel->setText(about + ". " + energyText(run.energy));
    showSegments(f);
    showEvents(shown_->events);
    // A program's trend reads every run of it: read again only for another
    // program, or when the list is.
    if (st.kind == RunKind::program && text(st.programName) != trendProgram_) {
        trendProgram_ = text(st.programName);
        emit trendRequested(trendProgram_);
    }
    tell(QString("Run %1 is open.").arg(f.id));
    emit runShown(f.id);
}

void RunsPanel::showSegments(const RunFigures& f) {
    const char* unit = f.unit ? unitSign(*f.unit) : "";
    std::vector<QStringList> rows;
    for (const SegmentFigures& s : f.segments) {
        const QString note = text(segmentNote(s));
        rows.push_back({QString::number(s.segment + 1), text(durationText(s.plannedSeconds)),
                        text(durationText(s.actualSeconds)), text(durationText(s.heldBackSeconds)),
                        text(deviationText(s.largestDeviation, f.unit)),
                        text(deviationText(s.meanDeviation, f.unit)),
                        s.ramp ? text(rateText(s.rateReached, unit)) : "hold", note});
    }
    fillTable(ui_->segmentTable, rows);
}

void RunsPanel::showEvents(const std::vector<RunEvent>& events) {
    std::vector<QStringList> rows;
    for (const RunEvent& e : events)
        rows.push_back({text(dateAndTime(e.time)), eventKindName(e.kind),
                        e.zone ? QString::number(*e.zone + 1) : "", text(e.text)});
    fillTable(ui_->eventTable, rows);
}

bool RunsPanel::overlayRun(long long id) {
    const RunFigures* run = listed(id);
    const std::vector<long long>& ids = overlays_;
    QString why;
    if (!shown_) {
        why = "Open a run first: the overlay is drawn over it.";
    } else if (!run || id == shownRun()) {
        why = QString("Run %1 is not an earlier run in the list.").arg(id);
    } else if (run->state.programName != shown_->figures.state.programName ||
               run->state.kind != shown_->figures.state.kind || id > shownRun()) {
        why = QString("Run %1 is not an earlier run of %2.")
                  .arg(id)
                  .arg(text(shown_->figures.state.programName));
    } else if (pending_.count(id) || std::find(ids.begin(), ids.end(), id) != ids.end()) {
        return true; // drawn already, or on its way
    } else if (int(ids.size() + pending_.size()) >= kMaxOverlays) {
        why = QString("%1 runs are drawn over it already.").arg(kMaxOverlays);
    } else {
        pending_.insert(id);
        emit runRequested(id, true);
        return true;
    }
    tell(why, true);
    return false;
}

void RunsPanel::addOverlay(const OpenedRun& run) {
    // Only a run asked for over the run open now; one asked for over a run
    // opened before, or since cleared, is let go.
    if (!shown_ || !pending_.erase(run.figures.id)) return;
    if (!ui_->chartView->runChart().addOverlay(run.chart)) return;
    overlays_.push_back(run.figures.id);
    tell(QString("Run %1 is drawn over run %2.").arg(run.figures.id).arg(shownRun()));
    emit runShown(shownRun());
}

void RunsPanel::overlayLast(int n) {
    if (!shown_) return tell("Open a run first: the overlay is drawn over it.", true);
    const RunState& st = shown_->figures.state;
    for (const RunFigures& f : runs_) {
        if (n <= 0) break;
        if (f.id >= shownRun() || f.state.programName != st.programName || f.state.kind != st.kind)
            continue;
        if (!overlayRun(f.id)) break;
        --n;
    }
}

void RunsPanel::overlaySelected() {
    for (const QModelIndex& row : ui_->runsTable->selectionModel()->selectedRows()) {
        const long long id = row.data(Qt::UserRole).toLongLong();
        if (id != shownRun() && !overlayRun(id)) break;
    }
}

void RunsPanel::clearOverlays() {
    overlays_.clear();
    pending_.clear();
    ui_->chartView->runChart().clearOverlays();
}

void RunsPanel::chooseExport() {
    if (!shown_) return tell("Open a run first: its samples are exported.", true);
    const QString path = QFileDialog::getSaveFileName(
        this, "Export the samples of run " + QString::number(shownRun()),
        QString("run-%1.csv").arg(shownRun()), "CSV files (*.csv)");
    if (!path.isEmpty()) exportTo(path);
}

void RunsPanel::exportTo(const QString& path) {
    if (!shown_) return tell("Open a run first: its samples are exported.", true);
    emit exportRequested(shownRun(), path);
}

void RunsPanel::chooseReport() {
    if (!shown_) return tell("Open a run first: its report is written.", true);
    const QString path =
        QFileDialog::getSaveFileName(this, "Write the report of run " + QString::number(shownRun()),
                                     QString("run-%1.pdf").arg(shownRun()), "PDF files (*.pdf)");
    if (!path.isEmpty()) reportTo(path);
}

void RunsPanel::reportTo(const QString& path) {
    if (!shown_) return tell("Open a run first: its report is written.", true);
    tell(QString("Reading run %1 for its report...").arg(shownRun()));
    emit reportRequested(shownRun(), path);
}

void RunsPanel::writeReport(const RunReport& report, const QString& path) {
    std::string why;
    if (!writeFileAtomically(path.toStdString(), runReportPdf(report), &why))
        return tell(path + " was not written: " + text(why), true);
    tell("The report was written to " + path + ".");
}

void RunsPanel::showTrend(const ProgramTrend& trend) {
    drawTrend(*ui_->trendView->chart(), trend);
    const QString verdict = trendVerdict(trend);
    const bool slowing = std::any_of(trend.ramps.begin(), trend.ramps.end(),
                                     [](const RampTrend& t) { return bool(t.slowerThan); });
    ui_->trendLabel->setText(verdict);
    ui_->trendLabel->setStyleSheet(slowing ? "color: #b00000; font-weight: bold;" : "");
}

void RunsPanel::tell(const QString& message, bool problem) {
    ui_->statusLabel->setText(message);
    ui_->statusLabel->setStyleSheet(problem ? "color: #b00000;" : "");
}
