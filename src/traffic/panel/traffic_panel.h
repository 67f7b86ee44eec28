#pragma once
// The Traffic panel: every frame on the line in a table, newest last, with
// the line's statistics beside it. Failures only, Pause and Clear act on the
// table at once; Reset statistics runs on the control thread, between
// exchanges, and Save writes the rows the table holds as CSV.
#include <QWidget>

#include <memory>
#include <string>

namespace Ui {
class trafficPanel;
}
class ControlSession;
class Prompts;
class TrafficMonitor;

class TrafficPanel : public QWidget {
    Q_OBJECT

  public:
    // Made on the GUI thread; puts the monitor's rows on its table.
    TrafficPanel(TrafficMonitor& monitor, ControlSession& session, Prompts& prompts,
                 QWidget* parent = nullptr);
    ~TrafficPanel() override;

  public slots:
    // Shows the panel: beside the main panel the first time, after that
    // where the operator left it.
    void open();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void resetStatistics();
    void save();
    void saveTo(const std::string& path);

    std::unique_ptr<Ui::trafficPanel> ui_;
    TrafficMonitor& monitor_;
    ControlSession& session_;
    Prompts& prompts_;
    bool placed_ = false;
};
