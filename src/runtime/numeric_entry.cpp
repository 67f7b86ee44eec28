#include "runtime/numeric_entry.h"

#include "runtime/control_events.h"
#include "runtime/entry_range.h"
#include "runtime/number_text.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <type_traits>

namespace {

// The entry's own limits: a value the logic shows may widen the box for a
// while, but the operator still types within these.
template <class Box> auto entryBound(const Box* box, bool lower) {
    using Value = decltype(box->minimum());
    const double bound =
        entryLimit(const_cast<Box*>(box), lower).value_or(lower ? box->minimum() : box->maximum());
    if constexpr (std::is_integral_v<Value>)
        return Value(std::lround(bound));
    else
        return Value(bound);
}
template <class Box> auto entryMin(const Box* box) {
    return entryBound(box, true);
}
template <class Box> auto entryMax(const Box* box) {
    return entryBound(box, false);
}

// What the operator typed between the entry's prefix and suffix.
struct Typed {
    bool wellFormed = false; // a sign, digits, one point or comma, digits
    bool hasDigits = false;
    std::optional<double> value; // nothing when no double holds it
};

Typed readTyped(QString text, const QString& prefix, const QString& suffix) {
    text = text.trimmed();
    if (!prefix.isEmpty() && text.startsWith(prefix)) text.remove(0, prefix.size());
    if (!suffix.isEmpty() && text.endsWith(suffix)) text.chop(suffix.size());
    text = text.trimmed();
    Typed t;
    bool separator = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9')
            t.hasDigits = true;
        else if ((c == u'.' || c == u',') && !separator)
            separator = true;
        else if (!((c == u'-' || c == u'+') && i == 0))
            return t;
    }
    t.wellFormed = true;
    if (t.hasDigits) {
        std::string ascii = text.toStdString();
        std::replace(ascii.begin(), ascii.end(), ',', '.');
        t.value = parseReal(ascii);
    }
    return t;
}

bool inRange(const Typed& t, double low, double high) {
    return t.value && *t.value >= low && *t.value <= high;
}

bool isWhole(const Typed& t) {
    return t.value && std::trunc(*t.value) == *t.value;
}

QValidator::State stateOf(const Typed& t, bool fits) {
    if (!t.wellFormed) return QValidator::Invalid;
    return t.hasDigits && fits ? QValidator::Acceptable : QValidator::Intermediate;
}

bool isEnter(const QKeyEvent* e) {
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

// Puts the entry's value back in place of the refused text and says why.
void refuse(QAbstractSpinBox* box, QLineEdit* edit, const QString& restored, std::string why) {
    const std::string typed = edit->text().trimmed().toStdString();
    edit->setText(restored);
    entryRefused(box, "\"" + typed + "\" " + why + "\nThe field keeps its value.");
}

std::string rangeText(const QString& low, const QString& high) {
    return "is outside the range of this field, " + low.toStdString() + " to " +
           high.toStdString() + ".";
}

} // namespace

RealEntry::RealEntry(QWidget* parent) : QDoubleSpinBox(parent) {
    QDoubleSpinBox::setDecimals(kKeptDigits);
}

void RealEntry::setShownDigits(int digits) {
    shown_ = std::clamp(digits, 0, kKeptDigits);
    setValue(value()); // shows it again with the new digits
}

void RealEntry::showValue(double value) {
    showNumberAsGiven(this, roundedToShown(value));
}

double RealEntry::roundedToShown(double value) const {
    const double scale = std::pow(10.0, shown_);
    const double rounded = std::round(value * scale) / scale;
    return rounded == 0 ? 0.0 : rounded; // no "-0.0" for a small negative value
}

QValidator::State RealEntry::validate(QString& text, int&) const {
    const Typed t = readTyped(text, prefix(), suffix());
    return stateOf(t, inRange(t, entryMin(this), entryMax(this)));
}

double RealEntry::valueFromText(const QString& text) const {
    return readTyped(text, prefix(), suffix()).value.value_or(value());
}

QString RealEntry::textFromValue(double value) const {
    return QString::fromStdString(formatFixed(roundedToShown(value), shown_));
}

bool RealEntry::refuseTyped() {
    const Typed t = readTyped(lineEdit()->text(), prefix(), suffix());
    if (!t.hasDigits || inRange(t, entryMin(this), entryMax(this))) return false;
    refuse(this, lineEdit(), prefix() + textFromValue(value()) + suffix(),
           rangeText(textFromValue(entryMin(this)), textFromValue(entryMax(this))));
    return true;
}

void RealEntry::keyPressEvent(QKeyEvent* event) {
    if (isEnter(event)) refuseTyped();
    QDoubleSpinBox::keyPressEvent(event);
}

void RealEntry::focusOutEvent(QFocusEvent* event) {
    refuseTyped();
    QDoubleSpinBox::focusOutEvent(event);
}

WholeEntry::WholeEntry(QWidget* parent) : QSpinBox(parent) {}

QValidator::State WholeEntry::validate(QString& text, int& pos) const {
    if (!decimal()) return QSpinBox::validate(text, pos);
    const Typed t = readTyped(text, prefix(), suffix());
    return stateOf(t, isWhole(t) && inRange(t, entryMin(this), entryMax(this)));
}

int WholeEntry::valueFromText(const QString& text) const {
    if (!decimal()) return QSpinBox::valueFromText(text);
    const Typed t = readTyped(text, prefix(), suffix());
    return isWhole(t) && inRange(t, entryMin(this), entryMax(this)) ? int(*t.value) : value();
}

QString WholeEntry::textFromValue(int value) const {
    return decimal() ? QString::number(value) : QSpinBox::textFromValue(value);
}

bool WholeEntry::refuseTyped() {
    if (!decimal()) return false;
    const Typed t = readTyped(lineEdit()->text(), prefix(), suffix());
    if (!t.hasDigits || (isWhole(t) && inRange(t, entryMin(this), entryMax(this)))) return false;
    const bool fraction = t.value && !isWhole(t) && inRange(t, entryMin(this), entryMax(this));
    refuse(this, lineEdit(), prefix() + textFromValue(value()) + suffix(),
           fraction ? "is not a whole number."
                    : rangeText(textFromValue(entryMin(this)), textFromValue(entryMax(this))));
    return true;
}

void WholeEntry::keyPressEvent(QKeyEvent* event) {
    if (isEnter(event)) refuseTyped();
    QSpinBox::keyPressEvent(event);
}

void WholeEntry::focusOutEvent(QFocusEvent* event) {
    refuseTyped();
    QSpinBox::focusOutEvent(event);
}
