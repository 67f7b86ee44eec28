#include "lines/panel/line_panel.h"

#include "lines/panel/line_table.h"
#include "lines/panel/line_work.h"
#include "panelkit/control_session.h"
#include "panelkit/window_place.h"
#include "ui_line.h"

#include <QCloseEvent>

LinePanel::LinePanel(LinePanelState& state, ControlSession& session, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::linePanel>()), state_(state), session_(session) {
    ui_->setupUi(this);
    interval_ = ui_->intervalEntry->value();
    setUpLineTable(*ui_->controllerTable);
    setScanning(false);
    poll_.setInterval(kPollTickMs);
    // Only the operator's clicks and entries commit: showing fires nothing.
    connect(&poll_, &QTimer::timeout, this, [this] {
        session_.tick(
            &poll_, this, [&state = state_] { return pollLine(state); },
            [this](const LineShown& shown) { apply(shown); });
    });
    connect(ui_->showButton, &QPushButton::clicked, this, &LinePanel::showSelected);
    connect(ui_->controllerTable, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { showSelected(); });
    connect(ui_->addButton, &QPushButton::clicked, this, &LinePanel::add);
    connect(ui_->removeButton, &QPushButton::clicked, this, &LinePanel::remove);
    connect(ui_->scanButton, &QPushButton::clicked, this, &LinePanel::scan);
    connect(ui_->closeButton, &QPushButton::clicked, this, &LinePanel::dismiss);
    connect(ui_->intervalEntry, &QAbstractSpinBox::editingFinished, this,
            &LinePanel::commitInterval);
    // The scan runs on the control thread, so its Cancel cannot wait in that
    // thread's queue behind it: the flag is read between ids.
    connect(ui_->cancelScanButton, &QPushButton::clicked, this, [this] {
        state_.scanCancelled = true;
        ui_->cancelScanButton->setEnabled(false);
    });
}

LinePanel::~LinePanel() {
    releaseForm(this);
}

void LinePanel::open() {
    showPanel(this, &placed_);
    activateWindow();
    interval_ = ui_->intervalEntry->value();
    session_.ask(
        this, [&state = state_, interval = interval_] { return openLine(state, interval); },
        [this](const LineShown& shown) {
            apply(shown);
            if (!isVisible()) return; // closed meanwhile
            state_.panelOpen = true;
            poll_.start();
        });
}

void LinePanel::apply(const LineShown& shown) {
    if (shown.port) ui_->portDisplay->setText(QString::fromStdString(*shown.port));
    if (shown.note) ui_->lineNote->setText(QString::fromStdString(*shown.note));
    if (shown.cycle) ui_->cycleDisplay->setText(QString::fromStdString(*shown.cycle));
    if (shown.rows) showLineRows(*ui_->controllerTable, *shown.rows);
}

std::vector<RowText> LinePanel::shownRows() const {
    return shownLineRows(*ui_->controllerTable);
}

void LinePanel::selectRow(int row) {
    ui_->controllerTable->selectRow(row);
}

std::optional<uint16_t> LinePanel::selectedId() const {
    const std::optional<uint16_t> id = selectedLineId(*ui_->controllerTable);
    if (!id) ui_->lineNote->setText(QStringLiteral("Select a controller first."));
    return id;
}

void LinePanel::showSelected() {
    if (const auto id = selectedId())
        session_.post([&state = state_, id = *id] { showOnMainPanel(state, id); });
}

void LinePanel::add() {
    session_.ask(
        this, [&state = state_, id = ui_->idEntry->value()] { return addToLine(state, id); },
        [this](const LineShown& shown) { apply(shown); });
}

void LinePanel::remove() {
    if (const auto id = selectedId())
        session_.ask(
            this, [&state = state_, id = *id] { return removeFromLine(state, id); },
            [this](const LineShown& shown) { apply(shown); });
}

void LinePanel::scan() {
    // Told from the control thread as the scan goes, without waiting for the GUI.
    ScanView progress;
    progress.begin = [this](std::size_t total) {
        QMetaObject::invokeMethod(
            this,
            [this, total] {
                ui_->scanProgress->setRange(0, int(total));
                ui_->scanProgress->setValue(0);
                setScanning(true);
            },
            Qt::QueuedConnection);
    };
    progress.step = [this](std::size_t done) {
        QMetaObject::invokeMethod(
            this, [this, done] { ui_->scanProgress->setValue(int(done)); }, Qt::QueuedConnection);
    };
    session_.ask(
        this, [&state = state_, progress] { return scanLine(state, progress); },
        [this](const LineShown& shown) {
            setScanning(false);
            apply(shown);
        });
}

void LinePanel::commitInterval() {
    // Tabbing through the entry is not a commit: only a changed value.
    const double seconds = ui_->intervalEntry->value();
    if (seconds == interval_) return;
    interval_ = seconds;
    session_.post([&state = state_, seconds] { setLineInterval(state, seconds); });
}

void LinePanel::setScanning(bool on) {
    ui_->scanProgress->setVisible(on);
    ui_->cancelScanButton->setVisible(on);
    ui_->cancelScanButton->setEnabled(on);
    // Nothing else may start on the line meanwhile.
    for (QPushButton* button :
         {ui_->scanButton, ui_->showButton, ui_->addButton, ui_->removeButton})
        button->setEnabled(!on);
}

void LinePanel::dismiss() {
    // A closed panel asks nothing of the line.
    state_.panelOpen = false;
    poll_.stop();
    hide();
}

void LinePanel::closeEvent(QCloseEvent* event) {
    // The close box is Close.
    dismiss();
    event->accept();
}
