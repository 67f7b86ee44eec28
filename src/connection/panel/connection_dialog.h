#pragma once
// The Connection dialog: the port, baud rate, parity, stop bits and
// controller id. Test asks the chosen controller with them beside the live
// connection, which stays as it was; OK keeps them in DftCom.prm and connects.
#include "connection/panel/alarm_notices.h"
#include "connection/panel/side_probe.h"
#include "panelkit/panel_service.h"

#include <QWidget>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Ui {
class connectionPanel;
}
class ControlSession;
struct Connection;

// What the dialog opens with: the settings in force, read on the control thread.
struct ConnectionShown {
    LineSettings settings;
    NoticeSwitches notices;
    // The port ring's items beyond its usual ones, by COM number.
    std::vector<std::pair<int, std::string>> portItems;
};

class ConnectionDialog : public QWidget {
    Q_OBJECT

  public:
    // Made on the GUI thread; its work runs through the session on the
    // connection's control thread.
    ConnectionDialog(Connection& connection, ControlSession& session, QWidget* parent = nullptr);
    ~ConnectionDialog() override;

  public slots:
    // Reads the settings in force on the control thread, then shows them.
    void open();
    // Shows the dialog, modal, with these settings.
    void showSettings(const ConnectionShown& shown);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    LineSettings chosen() const;
    bool pickedBaudRate(const LineSettings& chosen);
    void test();
    void keep();
    void dismiss();

    std::unique_ptr<Ui::connectionPanel> ui_;
    Connection& connection_;
    ControlSession& session_;
    bool placed_ = false;
};

// Control thread: reads the settings in force and opens the dialog with them.
void openConnectionDialog(Connection& connection);
int OpenConnection(Connection& connection, int panel, CtrlId control, int event);
