#include "widgets/entry_commit.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>

#include <mutex>

namespace {
std::mutex gReportMutex;
std::function<void(const std::string&)> gReport;
} // namespace

QVariant currentEntry(QWidget* w) {
    if (auto* s = qobject_cast<QSpinBox*>(w)) return s->value();
    if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) return d->value();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    return {};
}

void rememberCommittedValue(QWidget* control) {
    control->setProperty(kCommittedProperty, currentEntry(control));
    control->setProperty(kEnterPressedProperty, false);
}

void forgetCommittedValue(QWidget* control) {
    control->setProperty(kCommittedProperty, QVariant());
}

void entryRefused(QWidget* entry, const std::string& why) {
    entry->setProperty(kEnterPressedProperty, false);
    std::function<void(const std::string&)> report;
    {
        std::lock_guard lock(gReportMutex);
        report = gReport;
    }
    if (report) report(why);
}

void setEntryRefusedReport(std::function<void(const std::string& why)> report) {
    std::lock_guard lock(gReportMutex);
    gReport = std::move(report);
}
