#pragma once
// The engineering code popup: the access code typed masked, OK checks it,
// Cancel (or the close box) leaves the level as it is.
#include <QWidget>

#include <memory>

namespace Ui {
class engCodePanel;
}
class ControlSession;

class EngCodePanel : public QWidget {
    Q_OBJECT

  public:
    explicit EngCodePanel(ControlSession& session, QWidget* parent = nullptr);
    ~EngCodePanel() override;

  public slots:
    // Shows the popup, modal, with no code typed.
    void open();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void check();
    void dismiss();

    std::unique_ptr<Ui::engCodePanel> ui_;
    ControlSession& session_;
    bool placed_ = false;
};
