#include "runtime/ring.h"

#include <QVariant>

Ring::Ring(QWidget* parent) : QComboBox(parent) {}

void Ring::applyCodes() {
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
