#include "traffic/panel/traffic_panel.h"

#include "base/atomic_file.h"
#include "panelkit/control_session.h"
#include "panelkit/panel_service.h"
#include "panelkit/prompts.h"
#include "panelkit/window_place.h"
#include "traffic/csv_rows.h"
#include "traffic/panel/traffic_monitor.h"
#include "traffic/traffic_tap.h"
#include "ui_traffic.h"

#include <QCloseEvent>

#include <filesystem>
#include <optional>

namespace {

constexpr const char* kSaveTitle = "Save Traffic";

std::string withCsvExtension(std::string path) {
    if (std::filesystem::path(path).extension().empty()) path += ".csv";
    return path;
}

} // namespace

TrafficPanel::TrafficPanel(TrafficMonitor& monitor, ControlSession& session, Prompts& prompts,
                           QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::trafficPanel>()), monitor_(monitor),
      session_(session), prompts_(prompts) {
    ui_->setupUi(this);
    monitor_.setUp(*ui_->frameTable, *ui_->statisticsNames, *ui_->statisticsDisplay);
    // Only the operator's clicks commit: showing fires nothing.
    connect(ui_->failuresOnlySwitch, &QAbstractButton::clicked, this,
            [this](bool on) { monitor_.setFailuresOnly(on); });
    connect(ui_->pauseButton, &QAbstractButton::clicked, this,
            [this](bool on) { monitor_.setPaused(on); });
    connect(ui_->clearButton, &QAbstractButton::clicked, this, [this] { monitor_.clearTable(); });
    connect(ui_->saveButton, &QAbstractButton::clicked, this, &TrafficPanel::save);
    connect(ui_->resetStatisticsButton, &QAbstractButton::clicked, this,
            &TrafficPanel::resetStatistics);
    connect(ui_->closeButton, &QAbstractButton::clicked, this, &QWidget::hide);
}

TrafficPanel::~TrafficPanel() {
    releaseForm(this);
}

void TrafficPanel::open() {
    showPanel(this, &placed_);
    activateWindow();
}

// Between two exchanges, as the counts are kept.
void TrafficPanel::resetStatistics() {
    session_.ask(
        this, [&tap = monitor_.tap()] { tap.statistics().reset(); },
        [this] { monitor_.refreshStatistics(); });
}

// Every row the table holds, whatever the filter shows, as the trace writes them.
void TrafficPanel::save() {
    Prompts::FileChoice choice;
    choice.title = kSaveTitle;
    choice.namePattern = "*.csv";
    choice.filters = "*.csv";
    choice.buttonLabel = VAL_SAVE_BUTTON;
    choice.restrictExtension = true;
    prompts_.chooseFile(choice, this, [this](std::optional<std::string> chosen) {
        if (!chosen || chosen->empty()) return;
        const std::string path = withCsvExtension(*chosen);
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) return saveTo(path);
        Prompts::Question replace{
            kSaveTitle, path + "\nalready exists. Replace it?", {"Replace", "Cancel"}, 2, 1, 2};
        prompts_.ask(replace, this, [this, path](int button) {
            if (button == 1) saveTo(path);
        });
    });
}

void TrafficPanel::saveTo(const std::string& path) {
    std::string content = csvHeader();
    for (const TrafficRow& row : monitor_.tableRows())
        content += csvLine(row);
    session_.ask(
        this,
        [path, content = std::move(content)]() -> std::optional<std::string> {
            std::string why;
            if (writeFileAtomically(path, content, &why)) return std::nullopt;
            return why;
        },
        [this, path](const std::optional<std::string>& failed) {
            if (failed)
                prompts_.tell(kSaveTitle,
                              "The traffic could not be saved:\n" + path + "\n" + *failed);
        });
}

void TrafficPanel::closeEvent(QCloseEvent* event) {
    // The close box is Close.
    hide();
    event->accept();
}
