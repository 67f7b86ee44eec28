#pragma once
// The step program's profile: the programmed set value over time as a line,
// the process value measured during a run drawn over it, and a marker where
// the run is. It only draws what it is given.
#include <QWidget>

#include <optional>
#include <utility>
#include <vector>

struct ProfileView {
    using Points = std::vector<std::pair<double, double>>; // (seconds, value)
    Points sv;
    Points pv;
    std::optional<double> marker; // seconds; nothing before a run
};

class ProfilePlot : public QWidget {
    Q_OBJECT

  public:
    explicit ProfilePlot(QWidget* parent = nullptr);
    void show(ProfileView view);
    const ProfileView& view() const { return view_; }
    QSize sizeHint() const override { return {560, 150}; }
    QSize minimumSizeHint() const override { return {200, 90}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    ProfileView view_;
};

// "1:05:00", "12:30": a time on the axis and in the run display.
QString durationText(double seconds);
