#pragma once
// What the logic expects of a control it names: the panel test checks every
// entry against the loaded panel file.
#include "panelkit/panel_service.h"

enum class ValueType {
    Integer, // QSpinBox, or a checkable button / Led holding 0 or 1
    Real,    // QDoubleSpinBox
    Ring,    // Ring: value is the selected item's code
    Text,    // QLineEdit or QLabel
    Button,  // QPushButton: commit only
    Toggle,  // checkable QPushButton or QCheckBox: 0/1
    Led,     // Led: 0/1, or 2 for its warning state
    Timer,   // TimerControl
    Chart,   // StripChart
    Any,     // exists; any widget (help markers, group boxes)
};

struct ExpectedControl {
    CtrlId name;
    ValueType type;
};
