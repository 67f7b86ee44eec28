// GetCtrlVal / SetCtrlVal: reading and writing a control's value in the type
// the logic asks for, converting between numbers and text where that makes sense.
#include "panelkit/control_events.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_table.h"
#include "widgets/entry_range.h"
#include "widgets/led.h"
#include "widgets/no_value.h"
#include "widgets/numeric_entry.h"
#include "widgets/ring.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace {

std::optional<double> readNumber(QWidget* w) {
    if (auto* s = qobject_cast<QSpinBox*>(w)) return s->value();
    if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) return d->value();
    if (auto* r = qobject_cast<Ring*>(w)) return r->currentCode();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentIndex();
    if (auto* l = qobject_cast<Led*>(w)) return l->value();
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable())
        return b->isChecked() ? 1 : 0;
    QString text;
    if (auto* e = qobject_cast<QLineEdit*>(w))
        text = e->text();
    else if (auto* l = qobject_cast<QLabel*>(w))
        text = l->text();
    else
        return std::nullopt;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok ? std::optional(v) : std::optional(0.0);
}

std::optional<QString> readText(QWidget* w) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) return s->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->isCheckable()) return b->text();
    if (auto v = readNumber(w)) return QString::number(*v);
    return std::nullopt;
}

int setNumber(QWidget* w, double v, CtrlId name) {
    const QSignalBlocker block(w);
    noteValueShown(w);
    if (auto* entry = qobject_cast<RealEntry*>(w)) {
        entry->showValue(v);
    } else if (showNumberAsGiven(w, v)) {
        // Shown as given, not clamped: the panel shows what the controller holds.
    } else if (auto* r = qobject_cast<Ring*>(w)) {
        // What the controller holds is shown, known to the table or not.
        r->showCode(int(std::lround(v)));
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        c->setCurrentIndex(int(std::lround(v)));
    } else if (auto* l = qobject_cast<Led*>(w)) {
        l->setValue(int(std::lround(std::clamp(v, -1.0, 3.0))));
    } else if (auto* b = qobject_cast<QAbstractButton*>(w); b && b->isCheckable()) {
        b->setChecked(v != 0);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setText(QString::number(v));
    } else if (auto* lab = qobject_cast<QLabel*>(w)) {
        lab->setText(QString::number(v));
    } else {
        std::fprintf(stderr, "q7: SetCtrlVal: control '%.*s' holds no number\n", int(name.size()),
                     name.data());
        return kPanelBadValue;
    }
    rememberCommittedValue(w);
    return 0;
}

int setText(QWidget* w, const QString& text, CtrlId name) {
    const QSignalBlocker block(w);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setText(text);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(text);
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        const int i = c->findText(text);
        if (i < 0) return kPanelBadValue;
        c->setCurrentIndex(i);
    } else if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->isCheckable()) {
        b->setText(text);
    } else {
        bool ok = false;
        const double v = text.trimmed().toDouble(&ok);
        if (!ok) {
            std::fprintf(stderr, "q7: SetCtrlVal: '%s' is no number for '%.*s'\n", qPrintable(text),
                         int(name.size()), name.data());
            return kPanelBadValue;
        }
        return setNumber(w, v, name);
    }
    rememberCommittedValue(w);
    return 0;
}

int getNumber(int panel, CtrlId control, double* out) {
    return onGui([&] {
        QWidget* w = findControl(panel, control, "GetCtrlVal");
        if (!w) return int(kPanelNoControl);
        const auto v = readNumber(w);
        if (!v) {
            std::fprintf(stderr, "q7: GetCtrlVal: control '%.*s' holds no number\n",
                         int(control.size()), control.data());
            return int(kPanelBadValue);
        }
        *out = *v;
        return 0;
    });
}

template <class T> int getInteger(int panel, CtrlId control, T* value) {
    double v = 0;
    const int rc = getNumber(panel, control, &v);
    if (rc < 0) return rc;
    const double lo = double(std::numeric_limits<T>::min());
    const double hi = double(std::numeric_limits<T>::max());
    *value = T(std::clamp(double(std::lround(v)), lo, hi));
    return 0;
}

} // namespace

int GetCtrlVal(int p, CtrlId c, int* v) {
    return getInteger(p, c, v);
}
int GetCtrlVal(int p, CtrlId c, short* v) {
    return getInteger(p, c, v);
}
int GetCtrlVal(int p, CtrlId c, unsigned short* v) {
    return getInteger(p, c, v);
}
int GetCtrlVal(int p, CtrlId c, unsigned char* v) {
    return getInteger(p, c, v);
}
int GetCtrlVal(int p, CtrlId c, double* v) {
    return getNumber(p, c, v);
}

int GetCtrlVal(int p, CtrlId c, float* v) {
    double d = 0;
    const int rc = getNumber(p, c, &d);
    if (rc >= 0) *v = float(d);
    return rc;
}

int GetCtrlVal(int panel, CtrlId control, std::string* value) {
    return onGui([&] {
        QWidget* w = findControl(panel, control, "GetCtrlVal");
        if (!w) return int(kPanelNoControl);
        const auto text = readText(w);
        if (!text) return int(kPanelBadValue);
        *value = text->toStdString();
        return 0;
    });
}

int SetCtrlVal(int panel, CtrlId control, int value) {
    return SetCtrlVal(panel, control, double(value));
}

int SetCtrlVal(int panel, CtrlId control, double value) {
    return onGui([&] {
        QWidget* w = findControl(panel, control, "SetCtrlVal");
        return w ? setNumber(w, value, control) : int(kPanelNoControl);
    });
}

int SetCtrlVal(int panel, CtrlId control, const std::string& value) {
    return onGui([&] {
        QWidget* w = findControl(panel, control, "SetCtrlVal");
        return w ? setText(w, QString::fromStdString(value), control) : int(kPanelNoControl);
    });
}

int ClearCtrlVal(int panel, CtrlId control) {
    return onGui([&] {
        QWidget* w = findControl(panel, control, "ClearCtrlVal");
        if (!w) return int(kPanelNoControl);
        if (!clearShownValue(w)) {
            std::fprintf(stderr, "q7: ClearCtrlVal: control '%.*s' always shows a value\n",
                         int(control.size()), control.data());
            return int(kPanelBadValue);
        }
        rememberCommittedValue(w);
        return 0;
    });
}

int setRingItemText(int panel, CtrlId ring, int code, const std::string& text) {
    return onGui([&] {
        auto* r = qobject_cast<Ring*>(findControl(panel, ring, "setRingItemText"));
        if (!r) return int(kPanelNoControl);
        r->setCodeText(code, QString::fromStdString(text));
        return 0;
    });
}
