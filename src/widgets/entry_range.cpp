#include "widgets/entry_range.h"

#include <QDoubleSpinBox>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {

// Set while the box is widened for a shown value.
const char* kEntryMin = "q7EntryMin";
const char* kEntryMax = "q7EntryMax";

// Both kinds of spin box through doubles; a QSpinBox rounds.
struct Box {
    QSpinBox* i = nullptr;
    QDoubleSpinBox* d = nullptr;

    explicit operator bool() const { return i || d; }
    QAbstractSpinBox* widget() const { return i ? static_cast<QAbstractSpinBox*>(i) : d; }
    double minimum() const { return i ? i->minimum() : d->minimum(); }
    double maximum() const { return i ? i->maximum() : d->maximum(); }
    double value() const { return i ? i->value() : d->value(); }
    double fit(double v) const { return i ? double(std::lround(v)) : v; }
    void setRange(double lo, double hi) const {
        if (i)
            i->setRange(int(std::lround(lo)), int(std::lround(hi)));
        else
            d->setRange(lo, hi);
    }
    void setValue(double v) const {
        if (i)
            i->setValue(int(std::lround(v)));
        else
            d->setValue(v);
    }
};

Box boxOf(QWidget* w) {
    return {qobject_cast<QSpinBox*>(w), qobject_cast<QDoubleSpinBox*>(w)};
}

bool widened(const Box& b) {
    return b.widget()->property(kEntryMin).isValid();
}

double entryMin(const Box& b) {
    return widened(b) ? b.widget()->property(kEntryMin).toDouble() : b.minimum();
}

double entryMax(const Box& b) {
    return widened(b) ? b.widget()->property(kEntryMax).toDouble() : b.maximum();
}

// Fits the box's range to the entry's range and the value it must hold.
void fitRange(const Box& b, double lo, double hi, double value) {
    QAbstractSpinBox* w = b.widget();
    const QSignalBlocker block(w);
    if (value >= lo && value <= hi) {
        w->setProperty(kEntryMin, QVariant());
        w->setProperty(kEntryMax, QVariant());
        b.setRange(lo, hi);
    } else {
        w->setProperty(kEntryMin, lo);
        w->setProperty(kEntryMax, hi);
        b.setRange(std::min(lo, value), std::max(hi, value));
    }
    b.setValue(value);
}

// The operator stepped or typed back into the entry's range: from there on
// the range bounds the entry again.
void narrowWhenInside(const Box& b) {
    QAbstractSpinBox* w = b.widget();
    if (w->property("q7RangeWatched").toBool()) return;
    w->setProperty("q7RangeWatched", true);
    auto narrow = [w] {
        const Box box = boxOf(w);
        if (widened(box)) fitRange(box, entryMin(box), entryMax(box), box.value());
    };
    if (b.i)
        QObject::connect(b.i, &QSpinBox::valueChanged, w, [w, narrow](int v) {
            if (v >= entryMin(boxOf(w)) && v <= entryMax(boxOf(w))) narrow();
        });
    else
        QObject::connect(b.d, &QDoubleSpinBox::valueChanged, w, [w, narrow](double v) {
            if (v >= entryMin(boxOf(w)) && v <= entryMax(boxOf(w))) narrow();
        });
}

} // namespace

bool showNumberAsGiven(QWidget* w, double value) {
    const Box b = boxOf(w);
    if (!b) return false;
    narrowWhenInside(b);
    fitRange(b, entryMin(b), entryMax(b), b.fit(value));
    return true;
}

bool setEntryLimit(QWidget* w, bool lower, double value) {
    const Box b = boxOf(w);
    if (!b) return false;
    const double lo = lower ? b.fit(value) : entryMin(b);
    const double hi = lower ? entryMax(b) : b.fit(value);
    // New limits never change what the box shows.
    fitRange(b, lo, hi, b.value());
    return true;
}

std::optional<double> entryLimit(QWidget* w, bool lower) {
    const Box b = boxOf(w);
    if (!b) return std::nullopt;
    return lower ? entryMin(b) : entryMax(b);
}
