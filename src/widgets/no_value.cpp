#include "widgets/no_value.h"

#include "widgets/ring.h"

#include <QAbstractSpinBox>
#include <QDoubleSpinBox>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVariant>

namespace {

// Read by the numeric entries when they render their text.
const char* kNoValue = "q7NoValue";

// Renders the box's text again from its value, with or without the mark.
void redraw(QAbstractSpinBox* box) {
    const QSignalBlocker block(box);
    if (auto* d = qobject_cast<QDoubleSpinBox*>(box))
        d->setValue(d->value());
    else if (auto* s = qobject_cast<QSpinBox*>(box))
        s->setValue(s->value());
}

} // namespace

bool clearShownValue(QWidget* w) {
    if (auto* ring = qobject_cast<Ring*>(w)) {
        const QSignalBlocker block(ring);
        ring->showNoItem();
        return true;
    }
    if (auto* box = qobject_cast<QAbstractSpinBox*>(w)) {
        box->setProperty(kNoValue, true);
        redraw(box);
        return true;
    }
    return false;
}

bool showsNoValue(const QWidget* w) {
    if (auto* ring = qobject_cast<const Ring*>(w)) return ring->currentIndex() < 0;
    return w->property(kNoValue).toBool();
}

void noteValueShown(QWidget* w) {
    // No redraw: the value that follows (set, stepped to, or typed and about
    // to be read) draws itself.
    w->setProperty(kNoValue, QVariant());
}
