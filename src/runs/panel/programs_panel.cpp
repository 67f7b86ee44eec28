#include "runs/panel/programs_panel.h"

#include "base/atomic_file.h"
#include "base/number_text.h"
#include "base/typed_number.h"
#include "runs/panel/firing_runner.h"
#include "runs/program_library.h"
#include "ui_programs_panel.h"

#include <QDir>
#include <QHeaderView>
#include <QListWidgetItem>

#include <variant>

namespace {

// The plan as the plot draws it: its start, then each ramp's end and each
// hold's end.
ProfileView::Points planPoints(const Plan& plan) {
    ProfileView::Points points{{0.0, plan.start().fromSv}};
    for (const Plan::Piece& p : plan.pieces()) {
        points.emplace_back(p.begins, p.from);
        points.emplace_back(p.begins + p.rampSeconds, p.to);
        points.emplace_back(p.ends(), p.to);
    }
    return points;
}

QString degrees(double value, int digits, const QString& unit) {
    return QString::fromStdString(numberText(roundedTo(value, digits))) + unit;
}

QString phaseText(const RunView& v) {
    switch (v.phase) {
    case RunPhase::waiting:
        return "waiting to start";
    case RunPhase::running:
        return v.holdingBack ? "running, held back" : "running";
    case RunPhase::paused:
        return "paused: " + v.pauseReason;
    case RunPhase::ended:
        break;
    }
    return QString("ended: ") + (v.outcome ? outcomeName(*v.outcome) : "");
}

} // namespace

ProgramsPanel::ProgramsPanel(FiringRunner& runner, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::ProgramsPanel>()), folder_(kProgramLibrary) {
    ui_->setupUi(this);
    ui_->zoneTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(ui_->programEdit, &QPlainTextEdit::textChanged, this, &ProgramsPanel::check);
    connect(ui_->libraryList, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* item) { openEntry(item); });
    connect(ui_->refreshButton, &QPushButton::clicked, this, &ProgramsPanel::refreshLibrary);
    connect(ui_->saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(ui_->runButton, &QPushButton::clicked, this, &ProgramsPanel::run);
    connect(ui_->pauseButton, &QPushButton::clicked, this, &ProgramsPanel::pauseOrGoOn);
    connect(ui_->stopButton, &QPushButton::clicked, this, &ProgramsPanel::stopRequested);

    connect(this, &ProgramsPanel::runRequested, &runner, &FiringRunner::start);
    connect(this, &ProgramsPanel::pauseRequested, &runner, &FiringRunner::pause);
    connect(this, &ProgramsPanel::proceedRequested, &runner, &FiringRunner::proceed);
    connect(this, &ProgramsPanel::stopRequested, &runner, &FiringRunner::stop);
    connect(&runner, &FiringRunner::viewChanged, this, &ProgramsPanel::showRun);
    connect(&runner, &FiringRunner::refused, this, &ProgramsPanel::showRefusal);
    connect(&runner, &FiringRunner::ended, this, &ProgramsPanel::showEnd);
    check();
    refreshLibrary();
}

ProgramsPanel::~ProgramsPanel() = default;

void ProgramsPanel::setLibrary(const QString& folder) {
    folder_ = folder;
    refreshLibrary();
}

const ProfileView& ProgramsPanel::profile() const {
    return ui_->profilePlot->view();
}

void ProgramsPanel::refreshLibrary() {
    ui_->libraryList->clear();
    auto listed = listLibrary(folder_.toStdString());
    // A library not made yet is an empty one; the first save makes it.
    const auto* entries = std::get_if<std::vector<LibraryEntry>>(&listed);
    if (!entries) return;
    for (const LibraryEntry& e : *entries) {
        auto* item = new QListWidgetItem(QString::fromStdString(e.file), ui_->libraryList);
        item->setData(Qt::UserRole, QString::fromStdString(e.file));
        if (const auto* why = std::get_if<std::string>(&e.program)) {
            item->setText(QString::fromStdString(e.file) + " (refused)");
            item->setToolTip(QString::fromStdString(*why));
            item->setForeground(Qt::darkRed);
        } else {
            const auto& program = std::get<FiringProgram>(e.program);
            item->setToolTip(
                QString::fromStdString(programSummary(program, roomTemperature(program.unit))));
        }
    }
}

void ProgramsPanel::openEntry(QListWidgetItem* item) {
    if (!item) return;
    const QString file = item->data(Qt::UserRole).toString();
    std::string content, why;
    if (!readSmallFile((folder_ + "/" + file).toStdString(), &content, 65536, &why))
        return tell(file + " cannot be read: " + QString::fromStdString(why), true);
    showProgram(QString::fromStdString(content), file);
}

void ProgramsPanel::showProgram(const QString& programText, const QString& fileName) {
    ui_->fileNameEdit->setText(fileName);
    ui_->programEdit->setPlainText(programText);
}

void ProgramsPanel::tell(const QString& message, bool problem) {
    ui_->checkLabel->setText(message);
    ui_->checkLabel->setStyleSheet(problem ? "color: #b00000;" : "");
}

void ProgramsPanel::check() {
    auto parsed = parseFiringProgram(ui_->programEdit->toPlainText().toStdString());
    if (const auto* e = std::get_if<ProgramError>(&parsed)) {
        checked_.reset();
        checkProblem_ = QString::fromStdString(
            (e->line ? "line " + formatWhole(e->line) + ": " : std::string()) + e->why);
        tell(checkProblem_, true);
    } else {
        checked_ = std::get<FiringProgram>(std::move(parsed));
        checkProblem_.clear();
        tell(QString::fromStdString(programSummary(*checked_, roomTemperature(checked_->unit))),
             false);
    }
    if (phase_ == RunPhase::ended) drawIdlePlan();
}

void ProgramsPanel::drawIdlePlan() {
    ProfileView view;
    if (checked_) {
        const Plan plan(*checked_, programStart(*checked_, roomTemperature(checked_->unit)));
        view.sv = planPoints(plan);
    }
    ui_->profilePlot->show(view);
}

bool ProgramsPanel::save() {
    if (!checked_) {
        tell("Not saved: " + checkProblem_, true);
        return false;
    }
    QString name = ui_->fileNameEdit->text().trimmed();
    if (name.isEmpty() || name.contains('/') || name.startsWith('.')) {
        tell("Not saved: give the program a file name (no folder)", true);
        return false;
    }
    if (!name.endsWith(kProgramExtension)) name += kProgramExtension;
    QDir().mkpath(folder_);
    std::string why;
    // The text as typed, comments and all: it is what the reader just took.
    if (!writeFileAtomically((folder_ + "/" + name).toStdString(),
                             ui_->programEdit->toPlainText().toStdString(), &why)) {
        tell("Not saved: " + QString::fromStdString(why), true);
        return false;
    }
    ui_->fileNameEdit->setText(name);
    refreshLibrary();
    tell("Saved as " + folder_ + "/" + name, false);
    return true;
}

void ProgramsPanel::run() {
    if (!checked_) return showRefusal(checkProblem_);
    emit runRequested(ui_->programEdit->toPlainText());
}

void ProgramsPanel::pauseOrGoOn() {
    if (phase_ == RunPhase::paused)
        emit proceedRequested();
    else
        emit pauseRequested();
}

void ProgramsPanel::setRunning(bool running) {
    ui_->runButton->setEnabled(!running);
    ui_->pauseButton->setEnabled(running);
    ui_->stopButton->setEnabled(running);
}

void ProgramsPanel::showRun(const RunView& v) {
    if (v.runId != shownRun_ || !runPlan_) {
        shownRun_ = v.runId;
        pvTrace_.clear();
        runPlan_.reset();
        auto parsed = parseFiringProgram(v.programText.toStdString());
        if (auto* p = std::get_if<FiringProgram>(&parsed)) runPlan_.emplace(*p, v.planStart);
    }
    phase_ = v.phase;
    setRunning(v.phase != RunPhase::ended);
    ui_->pauseButton->setText(v.phase == RunPhase::paused ? "Go on" : "Pause");
    ui_->stateValue->setText(QString("%1, run %2").arg(phaseText(v)).arg(v.runId));
    ui_->segmentValue->setText(v.segment);
    const QString unit = v.zones.empty() ? QString() : v.zones.front().unit;
    ui_->plannedValue->setText(degrees(v.plannedSv, 1, unit));
    ui_->toGoValue->setText(durationText(v.toGo));
    ui_->holdBackValue->setText(v.holdingBack          ? v.holdBack
                                : v.holdBack.isEmpty() ? QString("no wait")
                                                       : v.holdBack);
    ui_->zoneTable->setRowCount(int(v.zones.size()));
    for (int i = 0; i < int(v.zones.size()); ++i) {
        const ZoneView& z = v.zones[std::size_t(i)];
        const QString cells[] = {z.name, z.pv ? degrees(*z.pv, z.digits, z.unit) : "-",
                                 z.sv ? degrees(*z.sv, z.digits, z.unit) : "-"};
        for (int c = 0; c < 3; ++c)
            ui_->zoneTable->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    if (v.kilnPv && (v.phase == RunPhase::running || v.phase == RunPhase::paused))
        pvTrace_.emplace_back(v.planClock, *v.kilnPv);
    ProfileView view;
    if (runPlan_) view.sv = planPoints(*runPlan_);
    view.pv = pvTrace_;
    view.marker = v.planClock;
    ui_->profilePlot->show(view);
}

void ProgramsPanel::showRefusal(const QString& why) {
    tell("Not started: " + why, true);
}

void ProgramsPanel::showEnd(const RunView& v) {
    phase_ = RunPhase::ended;
    setRunning(false);
    ui_->pauseButton->setText("Pause");
    ui_->stateValue->setText(QString("ended: %1, run %2. %3")
                                 .arg(v.outcome ? outcomeName(*v.outcome) : "")
                                 .arg(v.runId)
                                 .arg(v.lastEvent));
}
