#include "widgets/led.h"

#include <QPainter>

#include <algorithm>

Led::Led(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Led::setValue(int v) {
    value_ = v == off || v == warning ? v : on;
    update();
}

void Led::setOnColor(const QColor& c) {
    onColor_ = c;
    update();
}

void Led::setWarnColor(const QColor& c) {
    warnColor_ = c;
    update();
}

void Led::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = std::min(width(), height()) - 2;
    const QRectF r((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    if (!isEnabled() && value_ == off) {
        // Dimmed and dark: nothing is known, which must not read as "off".
        p.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(r);
        return;
    }
    const QColor color = value_ == warning ? warnColor_ : onColor_;
    const QColor lit = isEnabled() ? color : color.darker(150);
    p.setPen(QPen(palette().color(QPalette::Dark), 1));
    p.setBrush(value_ != off ? lit : palette().color(QPalette::Window).darker(130));
    p.drawEllipse(r);
}
