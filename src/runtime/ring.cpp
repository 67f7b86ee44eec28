#include "runtime/ring.h"

#include <QVariant>

#include <map>
#include <mutex>

namespace {

std::mutex tablesMutex;
std::map<std::string, std::vector<std::pair<int, std::string>>> tables;

} // namespace

void registerRingTable(const std::string& name, std::vector<std::pair<int, std::string>> items) {
    std::lock_guard lock(tablesMutex);
    tables[name] = std::move(items);
}

Ring::Ring(QWidget* parent) : QComboBox(parent) {}

void Ring::applyCodes() {
    // A ring that names a code table takes its items from it; the panel
    // file's own items (if any) only serve the designer's preview.
    const QString table = property("codeTable").toString();
    if (!table.isEmpty()) {
        std::lock_guard lock(tablesMutex);
        auto it = tables.find(table.toStdString());
        if (it != tables.end()) {
            clear();
            for (const auto& [code, label] : it->second)
                addItem(QString::fromStdString(label), code);
            return;
        }
    }
    const QStringList codes = property("codes").toString().split(';', Qt::SkipEmptyParts);
    for (int i = 0; i < count(); ++i) {
        bool ok = false;
        const int code = i < codes.size() ? codes[i].trimmed().toInt(&ok) : i;
        setItemData(i, i < codes.size() && !ok ? i : code, Qt::UserRole);
    }
}

int Ring::codeAt(int index) const {
    const QVariant v = itemData(index, Qt::UserRole);
    return v.isValid() ? v.toInt() : index;
}

int Ring::indexOfCode(int code) const {
    for (int i = 0; i < count(); ++i)
        if (codeAt(i) == code) return i;
    return -1;
}

int Ring::currentCode() const {
    return currentIndex() < 0 ? -1 : codeAt(currentIndex());
}

bool Ring::selectCode(int code) {
    const int index = indexOfCode(code);
    if (index < 0) return false;
    setCurrentIndex(index);
    return true;
}
