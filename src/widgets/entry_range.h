#pragma once
// A spin box's range is the entry's range: it bounds what the operator types.
// A number the logic shows (what the controller or a file holds) is shown as
// it is, even outside that range: the box then widens just enough to hold it
// and narrows back to the entry's range once its value is inside again.
#include <optional>

class QWidget;

// False when the widget is no spin box.
bool showNumberAsGiven(QWidget* w, double value);
bool setEntryLimit(QWidget* w, bool lower, double value);
std::optional<double> entryLimit(QWidget* w, bool lower);
