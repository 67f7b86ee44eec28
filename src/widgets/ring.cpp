#include "widgets/ring.h"

#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QVariant>

#include <map>
#include <mutex>

namespace {

// Marks the item that stands for a code outside the ring's table.
constexpr int kUnknownRole = Qt::UserRole + 1;

std::mutex tablesMutex;
std::map<std::string, std::vector<std::pair<int, std::string>>> tables;

} // namespace

void registerRingTable(const std::string& name, std::vector<std::pair<int, std::string>> items) {
    std::lock_guard lock(tablesMutex);
    tables[name] = std::move(items);
}

Ring::Ring(QWidget* parent) : QComboBox(parent) {
    // The operator picked a real item: the stand-in for the unknown code has
    // nothing more to show.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && !itemData(index, kUnknownRole).toBool()) dropUnknownItem();
    });
}

void Ring::applyCodes() {
    fillItems();
    // Codes the ring shows when the controller holds them but does not offer:
    // the operator cannot pick them (a running program's mode).
    const QStringList shownOnly =
        property("shownOnlyCodes").toString().split(';', Qt::SkipEmptyParts);
    auto* items = qobject_cast<QStandardItemModel*>(model());
    for (const QString& text : shownOnly) {
        bool ok = false;
        const int index = indexOfCode(text.trimmed().toInt(&ok));
        if (ok && index >= 0 && items)
            items->item(index)->setFlags(items->item(index)->flags() &
                                         ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
    }
}

void Ring::fillItems() {
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

bool Ring::offers(int code) const {
    const int index = indexOfCode(code);
    auto* items = qobject_cast<const QStandardItemModel*>(model());
    return index >= 0 && items && (items->item(index)->flags() & Qt::ItemIsEnabled);
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
    if (!itemData(index, kUnknownRole).toBool()) dropUnknownItem();
    return true;
}

void Ring::showCode(int code) {
    if (selectCode(code)) return;
    dropUnknownItem();
    // Last, so the items before it keep their indices when it goes.
    addItem(QString("%1 (unknown)").arg(code), code);
    const int index = count() - 1;
    setItemData(index, true, kUnknownRole);
    if (auto* items = qobject_cast<QStandardItemModel*>(model()))
        items->item(index)->setFlags(Qt::NoItemFlags);
    setCurrentIndex(index);
}

bool Ring::showsUnknownCode() const {
    return currentIndex() >= 0 && itemData(currentIndex(), kUnknownRole).toBool();
}

void Ring::showNoItem() {
    dropUnknownItem();
    setCurrentIndex(-1);
}

void Ring::setCodeText(int code, const QString& text) {
    const QSignalBlocker block(this);
    const int index = indexOfCode(code);
    if (index >= 0 && !itemData(index, kUnknownRole).toBool()) {
        setItemText(index, text);
        return;
    }
    // Showing the code as unknown until now: it is known from here on.
    const bool wasShown = index >= 0 && index == currentIndex();
    if (index >= 0) removeItem(index);
    int at = 0;
    while (at < count() && !itemData(at, kUnknownRole).toBool() && codeAt(at) < code)
        ++at;
    insertItem(at, text, code);
    if (wasShown) setCurrentIndex(at);
}

void Ring::dropUnknownItem() {
    for (int i = count() - 1; i >= 0; --i)
        if (itemData(i, kUnknownRole).toBool()) removeItem(i);
}
