// SetCtrlAttribute / GetCtrlAttribute.
#include "panelkit/gui_call.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_table.h"
#include "widgets/entry_range.h"
#include "widgets/no_value.h"
#include "widgets/numeric_entry.h"
#include "widgets/strip_chart/strip_chart.h"
#include "widgets/timer_control.h"

#include <QAbstractSpinBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include <cmath>
#include <cstdio>
#include <optional>

namespace {

const char* kCtrlMode = "q7CtrlMode";

// An indicator still looks like the field it is (so it stays readable), it
// just no longer takes input. Controls without a read-only mode are disabled.
void setCtrlMode(QWidget* w, bool takesInput) {
    w->setProperty(kCtrlMode, takesInput);
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
        s->setReadOnly(!takesInput);
        s->setButtonSymbols(takesInput ? QAbstractSpinBox::UpDownArrows
                                       : QAbstractSpinBox::NoButtons);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        e->setReadOnly(!takesInput);
    } else {
        w->setEnabled(takesInput);
    }
}

bool ctrlMode(QWidget* w) {
    const QVariant stored = w->property(kCtrlMode);
    if (stored.isValid()) return stored.toBool();
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) return !s->isReadOnly();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return !e->isReadOnly();
    return true;
}

bool setAttribute(QWidget* w, int attribute, double v) {
    auto* timer = qobject_cast<TimerControl*>(w);
    auto* chart = qobject_cast<StripChart*>(w);
    switch (attribute) {
    case ATTR_DIMMED:
        w->setEnabled(v == 0);
        return true;
    case ATTR_VISIBLE:
        if (!timer) w->setVisible(v != 0);
        return true;
    case ATTR_CTRL_MODE:
        setCtrlMode(w, v != 0);
        return true;
    case ATTR_PRECISION:
        if (auto* r = qobject_cast<RealEntry*>(w)) {
            r->setShownDigits(int(std::lround(v)));
            return true;
        }
        if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) {
            // Changing decimals re-rounds the value; put the exact value back.
            const QSignalBlocker block(d);
            const double value = d->value();
            d->setDecimals(int(std::lround(v)));
            d->setValue(value);
            return true;
        }
        return false;
    case ATTR_MIN_VALUE:
    case ATTR_MAX_VALUE:
        // The logic sets them so an entered value fits its register.
        return setEntryLimit(w, attribute == ATTR_MIN_VALUE, v);
    case ATTR_INTERVAL:
        if (timer) timer->setInterval(v);
        return timer;
    case ATTR_ENABLED:
        if (timer) timer->setTicking(v != 0);
        return timer;
    case ATTR_XAXIS_GAIN:
        if (chart) chart->setXGain(v);
        return chart;
    case ATTR_POINTS_PER_SCREEN:
        if (chart) chart->setPointsPerScreen(int(std::lround(v)));
        return chart;
    default:
        return false;
    }
}

std::optional<double> getAttribute(QWidget* w, int attribute) {
    auto* timer = qobject_cast<TimerControl*>(w);
    auto* chart = qobject_cast<StripChart*>(w);
    switch (attribute) {
    case ATTR_DIMMED:
        return w->isEnabled() ? 0 : 1;
    case ATTR_VISIBLE:
        return timer || w->isHidden() ? 0 : 1;
    case ATTR_CTRL_MODE:
        return ctrlMode(w) ? 1 : 0;
    case ATTR_PRECISION:
        if (auto* r = qobject_cast<RealEntry*>(w)) return r->shownDigits();
        if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) return d->decimals();
        if (qobject_cast<QAbstractSpinBox*>(w)) return 0;
        break;
    case ATTR_MIN_VALUE:
    case ATTR_MAX_VALUE:
        return entryLimit(w, attribute == ATTR_MIN_VALUE);
    case ATTR_INTERVAL:
        if (timer) return timer->interval();
        break;
    case ATTR_ENABLED:
        if (timer) return timer->isTicking() ? 1 : 0;
        break;
    case ATTR_XAXIS_GAIN:
        if (chart) return chart->xGain();
        break;
    case ATTR_POINTS_PER_SCREEN:
        if (chart) return chart->pointsPerScreen();
        break;
    case ATTR_SHOWS_VALUE:
        return showsNoValue(w) ? 0 : 1;
    }
    return std::nullopt;
}

void complain(const char* caller, CtrlId control, int attribute) {
    std::fprintf(stderr, "q7: %s: attribute %d does not apply to '%.*s'\n", caller, attribute,
                 int(control.size()), control.data());
}

} // namespace

int SetCtrlAttribute(int panel, CtrlId control, int attribute, double value) {
    return onGui([&] {
        QWidget* w = findControl(panel, control, "SetCtrlAttribute");
        if (!w) return int(kPanelNoControl);
        if (setAttribute(w, attribute, value)) return 0;
        complain("SetCtrlAttribute", control, attribute);
        return int(kPanelBadAttribute);
    });
}

int GetCtrlAttribute(int panel, CtrlId control, int attribute, double* value) {
    return onGui([&] {
        QWidget* w = findControl(panel, control, "GetCtrlAttribute");
        if (!w) return int(kPanelNoControl);
        const auto v = getAttribute(w, attribute);
        if (!v) {
            complain("GetCtrlAttribute", control, attribute);
            return int(kPanelBadAttribute);
        }
        *value = *v;
        return 0;
    });
}

int SetCtrlSuffix(int panel, CtrlId control, const std::string& suffix) {
    return onGui([&] {
        QWidget* w = findControl(panel, control, "SetCtrlSuffix");
        if (!w) return int(kPanelNoControl);
        auto* s = qobject_cast<QAbstractSpinBox*>(w);
        if (auto* d = qobject_cast<QDoubleSpinBox*>(s)) {
            d->setSuffix(QString::fromStdString(suffix));
        } else if (auto* i = qobject_cast<QSpinBox*>(s)) {
            i->setSuffix(QString::fromStdString(suffix));
        } else {
            complain("SetCtrlSuffix", control, 0);
            return int(kPanelBadAttribute);
        }
        return 0;
    });
}
