// Which kind of value a control holds, for the check that code and panel
// files agree.
#include "panelkit/gui_call.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_table.h"
#include "widgets/led.h"
#include "widgets/ring.h"
#include "widgets/strip_chart/strip_chart.h"
#include "widgets/timer_control.h"

#include <QAbstractButton>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {
bool isToggle(QWidget* w) {
    auto* b = qobject_cast<QAbstractButton*>(w);
    return b && b->isCheckable();
}

bool matches(QWidget* w, ValueType type) {
    switch (type) {
    case ValueType::Integer:
        return qobject_cast<QSpinBox*>(w) || isToggle(w) || qobject_cast<Led*>(w);
    case ValueType::Real:
        return qobject_cast<QDoubleSpinBox*>(w);
    case ValueType::Ring:
        return qobject_cast<Ring*>(w);
    case ValueType::Text:
        return qobject_cast<QLineEdit*>(w) || qobject_cast<QLabel*>(w);
    case ValueType::Button:
        return qobject_cast<QPushButton*>(w) && !isToggle(w);
    case ValueType::Toggle:
        return isToggle(w);
    case ValueType::Led:
        return qobject_cast<Led*>(w);
    case ValueType::Timer:
        return qobject_cast<TimerControl*>(w);
    case ValueType::Chart:
        return qobject_cast<StripChart*>(w);
    case ValueType::Any:
        return true;
    }
    return false;
}
} // namespace

bool controlHasValueType(int panel, CtrlId control, ValueType type) {
    return onGui([&] {
        QWidget* w = lookupControl(panel, control);
        return w && matches(w, type);
    });
}
