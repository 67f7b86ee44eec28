#pragma once
// What counts as a commit of an entry field: a value other than the one it
// held when the logic last set it or the operator last committed, or Enter.
// The entries keep that mark themselves; the panel service wires the commit.
#include <QVariant>

#include <functional>
#include <string>

class QWidget;

inline constexpr const char* kCommittedProperty = "q7Committed";
inline constexpr const char* kEnterPressedProperty = "q7EnterPressed";

// The entry's value as the operator sees it (a number, or a line's text).
QVariant currentEntry(QWidget* w);
// The logic just set this control: only a later change by the operator (or
// Enter) counts as a commit.
void rememberCommittedValue(QWidget* control);
// The operator gave an entry that showed no value a number: leaving it
// commits that number, even one equal to what the entry held unseen.
void forgetCommittedValue(QWidget* control);
// An entry refused what the operator typed and went back to its value: no
// commit follows, and whoever wired the panels is told why.
void entryRefused(QWidget* entry, const std::string& why);
void setEntryRefusedReport(std::function<void(const std::string& why)> report);
