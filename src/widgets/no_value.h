#pragma once
// A control that shows no value: nothing has been read into it yet, or what
// it showed no longer holds (the connection failed). A numeric then shows
// "—" and a ring no item, so a panel file's default never passes for a value
// the controller gave. The next value the logic sets, or the operator types,
// steps to or picks, is shown again.
class QWidget;

// What an empty numeric shows between its prefix and suffix.
inline constexpr const char* kNoValueText = "\u2014";

// The dynamic property of a panel file that makes a control start empty.
inline constexpr const char* kStartsEmptyMark = "startsEmpty";

// False when the control has no empty state (a button, a light).
bool clearShownValue(QWidget* w);
bool showsNoValue(const QWidget* w);
// The logic or the operator is giving the control a value: the value set
// next (or the text the operator typed) shows again.
void noteValueShown(QWidget* w);
