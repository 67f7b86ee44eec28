#include "widgets/timer_control.h"

#include <algorithm>
#include <cmath>

TimerControl::TimerControl(QWidget* parent) : QWidget(parent) {
    QWidget::setVisible(false);
    setFixedSize(0, 0);
    connect(&timer_, &QTimer::timeout, this, &TimerControl::tick);
}

void TimerControl::setInterval(double seconds) {
    interval_ = std::max(0.0, seconds);
    apply();
}

void TimerControl::setTicking(bool on) {
    ticking_ = on;
    apply();
}

void TimerControl::apply() {
    // A zero interval would spin the GUI loop; one millisecond is the floor.
    timer_.setInterval(std::max(1, int(std::lround(interval_ * 1000.0))));
    if (ticking_ && !timer_.isActive()) timer_.start();
    if (!ticking_) timer_.stop();
}
