#pragma once
// The Line panel: every controller listed for the main panel's port, polled
// in turn while the panel is open, with their values and health; Add,
// Remove and Scan keep the list in DftLine.prm, and Show makes the selected
// one the main panel's. Its work runs on the control thread (line_work.h),
// asked through the control session; a scan's Cancel is taken at once.
#include "lines/row_text.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class linePanel;
}
class ControlSession;
struct LinePanelState;
struct LineShown;

class LinePanel : public QWidget {
    Q_OBJECT

  public:
    // How often the panel's timer asks for the next controller due.
    static constexpr int kPollTickMs = 50;

    // Made on the GUI thread; its work runs through the session.
    LinePanel(LinePanelState& state, ControlSession& session, QWidget* parent = nullptr);
    ~LinePanel() override;

    // The rows as shown, for tests and the screenshots.
    std::vector<RowText> shownRows() const;
    void selectRow(int row);

  public slots:
    // Shows the panel, reads the list afresh and polls while it is open.
    void open();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void apply(const LineShown& shown);
    std::optional<uint16_t> selectedId() const;
    void showSelected();
    void add();
    void remove();
    void scan();
    void commitInterval();
    void setScanning(bool on);
    void dismiss();

    std::unique_ptr<Ui::linePanel> ui_;
    LinePanelState& state_;
    ControlSession& session_;
    QTimer poll_;
    double interval_; // as last committed
    bool placed_ = false;
};
