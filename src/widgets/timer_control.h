#pragma once
// An invisible control that ticks: each tick becomes a timer event for its
// callback on the control thread.
#include <QTimer>
#include <QWidget>

class TimerControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double interval READ interval WRITE setInterval)
    // Shadows QWidget::enabled on purpose: for a timer "enabled" means ticking.
    Q_PROPERTY(bool enabled READ isTicking WRITE setTicking)

  public:
    explicit TimerControl(QWidget* parent = nullptr);

    double interval() const { return interval_; }
    void setInterval(double seconds);
    bool isTicking() const { return ticking_; }
    void setTicking(bool on);
    // A timer never shows, whatever the layout or the logic asks.
    void setVisible(bool) override { QWidget::setVisible(false); }

  signals:
    void tick();

  private:
    void apply();

    QTimer timer_;
    double interval_ = 1.0;
    bool ticking_ = false;
};
