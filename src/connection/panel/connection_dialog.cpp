#include "connection/panel/connection_dialog.h"

#include "connection/panel/connection.h"
#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/main_panel_view.h"
#include "panelkit/control_session.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/window_place.h"
#include "serial/baud_rates.h"
#include "serial/com_map.h"
#include "serial/port_list.h"
#include "ui_connection.h"
#include "widgets/ring.h"

#include <QCloseEvent>

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

void applyToSession(Controller& c, const LineSettings& chosen) {
    Line& s = c.line();
    s.setComPort(uint16_t(chosen.port));
    s.setBaudRate(chosen.baud);
    s.setCharacterFrame(chosen.parity, chosen.stopBits);
    if (uint16_t(chosen.id) != c.controllerId()) c.forgetAllHeld();
    c.setControllerId(uint16_t(chosen.id));
}

// What the probe with the chosen settings found, in one sentence.
std::string probeOutcome(const SideProbe& found, const LineSettings& chosen) {
    if (found.openError) return "The port does not open: " + *found.openError;
    const ProbeResult& probe = found.probe;
    if (probe.answered)
        return "Controller " + std::to_string(chosen.id) + " answers: model " +
               std::string(1, char(probe.modelCode)) + ", identification " +
               std::to_string(probe.identification) + ".";
    const std::string reply = probeReplyText(probe, uint16_t(chosen.id));
    return reply.empty() ? "No reply from controller " + std::to_string(chosen.id) + "."
                         : "No controller " + std::to_string(chosen.id) + " answers: " + reply +
                               " came back.";
}

// Control thread: OK's settings become the connection's, and it connects.
void keepAndConnect(Connection& connection, const LineSettings& chosen,
                    const NoticeSwitches& notices) {
    applyToSession(connection.controller, chosen);
    // The main panel's selectors are what a connection starts from.
    const int main = MainPanel::handle;
    if (chosen.port >= 1 && chosen.port <= kMaxComNumber)
        setRingItemText(main, MainPanel::portSelector, chosen.port, comLabel(chosen.port));
    SetCtrlVal(main, MainPanel::portSelector, chosen.port);
    MainPanelView::showId(chosen.id);
    connection.notices.setSwitches(notices);
    // Kept whether or not a controller answers now: the operator chose them.
    saveComSettings(connection);
    ComportInit(connection);
}

// Control thread: the settings in force, as the dialog opens with them.
ConnectionShown shownNow(const Connection& connection) {
    const Controller& c = connection.controller;
    const Line& s = c.line();
    ConnectionShown shown;
    shown.settings = {int(s.comPort()), int(s.baudRate()), int(s.parity()), int(s.stopBits()),
                      int(c.controllerId())};
    shown.notices = connection.notices.switches();
    for (int n : selectorComNumbers())
        shown.portItems.emplace_back(n, comLabel(n));
    if (s.comPort() >= 1 && s.comPort() <= kMaxComNumber)
        shown.portItems.emplace_back(s.comPort(), comLabel(s.comPort()));
    return shown;
}

} // namespace

ConnectionDialog::ConnectionDialog(Connection& connection, ControlSession& session, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::connectionPanel>()), connection_(connection),
      session_(session) {
    ui_->setupUi(this);
    for (Ring* ring : findChildren<Ring*>())
        ring->applyCodes();
    // Only the operator's clicks commit: showing settings fires nothing.
    connect(ui_->testButton, &QPushButton::clicked, this, &ConnectionDialog::test);
    connect(ui_->okButton, &QPushButton::clicked, this, &ConnectionDialog::keep);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &ConnectionDialog::dismiss);
}

ConnectionDialog::~ConnectionDialog() = default;

void ConnectionDialog::open() {
    session_.ask(
        this, [&connection = connection_] { return shownNow(connection); },
        [this](const ConnectionShown& shown) { showSettings(shown); });
}

void ConnectionDialog::showSettings(const ConnectionShown& shown) {
    for (const auto& [n, label] : shown.portItems)
        ui_->portRing->setCodeText(n, qs(label));
    const LineSettings& s = shown.settings;
    ui_->portRing->showCode(s.port);
    // A rate the ring does not offer shows as no pick: the operator chooses.
    ui_->baudRing->showCode(s.baud);
    ui_->parityRing->showCode(s.parity);
    ui_->stopBitsRing->showCode(s.stopBits);
    ui_->idNumeric->setValue(s.id);
    ui_->alarmNoticeSwitch->setChecked(shown.notices.alarms);
    ui_->silenceNoticeSwitch->setChecked(shown.notices.silence);
    ui_->testResult->clear();
    // Modality only takes effect on a hidden window.
    hide();
    setWindowModality(Qt::ApplicationModal);
    showPanel(this, &placed_);
}

LineSettings ConnectionDialog::chosen() const {
    LineSettings s;
    s.port = ui_->portRing->currentCode();
    s.baud = ui_->baudRing->currentCode();
    s.parity = ui_->parityRing->currentCode();
    s.stopBits = ui_->stopBitsRing->currentCode();
    s.id = ui_->idNumeric->value();
    return s;
}

// A file's rate the line does not run at leaves the ring without a pick.
bool ConnectionDialog::pickedBaudRate(const LineSettings& chosen) {
    if (standardBaud(chosen.baud)) return true;
    ui_->testResult->setText(qs("Choose a baud rate (" + baudRateList() + ")."));
    return false;
}

void ConnectionDialog::test() {
    const LineSettings s = chosen();
    if (!pickedBaudRate(s)) return;
    ui_->testResult->setText(QStringLiteral("Testing..."));
    // Beside the live connection: until OK, the main panel's controller is
    // the one it shows, and goes on being polled.
    session_.ask(
        this,
        [&c = connection_.controller, s] { return probeOutcome(probeBeside(c.line(), s), s); },
        [this](const std::string& outcome) { ui_->testResult->setText(qs(outcome)); });
}

void ConnectionDialog::keep() {
    const LineSettings s = chosen();
    if (!pickedBaudRate(s)) return;
    const NoticeSwitches notices{ui_->alarmNoticeSwitch->isChecked(),
                                 ui_->silenceNoticeSwitch->isChecked()};
    dismiss();
    session_.post(
        [&connection = connection_, s, notices] { keepAndConnect(connection, s, notices); });
}

void ConnectionDialog::dismiss() {
    // Nothing was changed: Test leaves the live connection as it was.
    ui_->testResult->clear();
    hide();
    setWindowModality(Qt::NonModal);
}

void ConnectionDialog::closeEvent(QCloseEvent* event) {
    // The close box is Cancel.
    dismiss();
    event->accept();
}

void openConnectionDialog(Connection& connection) {
    ConnectionDialog* dialog = connection.dialog;
    if (!dialog) return;
    QMetaObject::invokeMethod(
        dialog, [dialog, shown = shownNow(connection)] { dialog->showSettings(shown); },
        Qt::QueuedConnection);
}

int OpenConnection(Connection& connection, int, CtrlId, int event) {
    if (event == EVENT_COMMIT) openConnectionDialog(connection);
    return 0;
}
