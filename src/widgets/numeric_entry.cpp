#include "widgets/numeric_entry.h"

#include "base/number_text.h"
#include "widgets/entry_commit.h"
#include "widgets/entry_range.h"
#include "widgets/no_value.h"

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

// What the operator typed, without the entry's own prefix and suffix.
QString typedText(QString text, const QString& prefix, const QString& suffix) {
    text = text.trimmed();
    if (!prefix.isEmpty() && text.startsWith(prefix)) text.remove(0, prefix.size());
    if (!suffix.isEmpty() && text.endsWith(suffix)) text.chop(suffix.size());
    return text.trimmed();
}

// What the operator typed between the entry's prefix and suffix.
struct Typed {
    bool wellFormed = false; // a sign, digits, one point or comma, digits
    bool hasDigits = false;
    std::optional<double> value; // nothing when no double holds it
};

Typed readTyped(const QString& entered, const QString& prefix, const QString& suffix) {
    const QString text = typedText(entered, prefix, suffix);
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

// Puts the entry's value back in place of the refused text and says why,
// quoting the operator's digits without the entry's unit.
void refuse(QAbstractSpinBox* box, QLineEdit* edit, const QString& prefix, const QString& suffix,
            const QString& restored, std::string why) {
    const std::string typed = typedText(edit->text(), prefix, suffix).toStdString();
    edit->setText(prefix + restored + suffix);
    entryRefused(box, "\"" + typed + "\" " + why + "\nThe field keeps its value.");
}

// The operator's key in an entry that shows no value. The first typed
// character replaces the mark; Enter with no number typed is swallowed, so
// the value the entry merely holds is never sent. True when the key must go
// no further.
bool keyOnEmpty(QAbstractSpinBox* box, QLineEdit* edit, const QKeyEvent* e, const QString& prefix,
                const QString& suffix) {
    if (!showsNoValue(box)) return false;
    const QString empty = prefix + QString::fromUtf8(kNoValueText) + suffix;
    if (isEnter(e)) {
        if (readTyped(edit->text(), prefix, suffix).hasDigits) return false;
        rememberCommittedValue(box); // no commit follows
        return true;
    }
    if (!e->text().isEmpty() && e->text()[0].isPrint() && edit->text() == empty) {
        edit->setText(prefix + suffix);
        edit->setCursorPosition(int(prefix.size()));
    }
    return false;
}

// The operator gave an empty entry a number (typed, or stepped to): it is
// theirs to send, even when it equals the number the entry merely held.
void takeOperatorsValue(QAbstractSpinBox* box) {
    if (!showsNoValue(box)) return;
    noteValueShown(box);
    forgetCommittedValue(box);
}

// Typed digits that will become the entry's value once interpreted.
bool typedNumber(QLineEdit* edit, const QString& prefix, const QString& suffix) {
    return readTyped(edit->text(), prefix, suffix).hasDigits;
}

// The other field of a time word, when this entry is one.
WholeEntry* timeWordField(const WholeEntry* entry, const char* which) {
    const QString name = entry->property(which).toString();
    return name.isEmpty() ? nullptr : entry->window()->findChild<WholeEntry*>(name);
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

void RealEntry::setTrailingZeros(bool on) {
    trailingZeros_ = on;
    setValue(value());
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

QString RealEntry::numberText(double value) const {
    std::string text = formatFixed(roundedToShown(value), shown_);
    if (!trailingZeros_ && text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
    }
    return QString::fromStdString(text);
}

QString RealEntry::textFromValue(double value) const {
    return showsNoValue(this) ? QString::fromUtf8(kNoValueText) : numberText(value);
}

void RealEntry::stepBy(int steps) {
    takeOperatorsValue(this);
    QDoubleSpinBox::stepBy(steps);
}

bool RealEntry::refuseTyped() {
    const Typed t = readTyped(lineEdit()->text(), prefix(), suffix());
    if (!t.hasDigits || inRange(t, entryMin(this), entryMax(this))) return false;
    refuse(this, lineEdit(), prefix(), suffix(), textFromValue(value()),
           rangeText(numberText(entryMin(this)), numberText(entryMax(this))));
    return true;
}

void RealEntry::keyPressEvent(QKeyEvent* event) {
    if (keyOnEmpty(this, lineEdit(), event, prefix(), suffix())) return;
    if (isEnter(event) && !refuseTyped() && typedNumber(lineEdit(), prefix(), suffix()))
        takeOperatorsValue(this);
    QDoubleSpinBox::keyPressEvent(event);
}

void RealEntry::focusOutEvent(QFocusEvent* event) {
    if (!refuseTyped() && typedNumber(lineEdit(), prefix(), suffix())) takeOperatorsValue(this);
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
    if (showsNoValue(this)) return QString::fromUtf8(kNoValueText);
    return decimal() ? QString::number(value) : QSpinBox::textFromValue(value);
}

void WholeEntry::stepBy(int steps) {
    takeOperatorsValue(this);
    QSpinBox::stepBy(steps);
    keepTimeWordWhole();
}

void WholeEntry::keepTimeWordWhole() {
    WholeEntry* major = this;
    WholeEntry* minor = timeWordField(this, "timeWordMinor");
    if (!minor) {
        minor = this;
        major = timeWordField(this, "timeWordMajor");
    }
    if (!major || showsNoValue(major) || showsNoValue(minor)) return;
    const int word = major->value() * 60 + minor->value();
    const int held = std::clamp(word, -32768, 32767);
    if (held == word) return;
    // Division truncates toward zero, as the word is split for showing.
    major->setValue(held / 60);
    minor->setValue(held % 60);
}

bool WholeEntry::refuseTyped() {
    if (!decimal()) return false;
    const Typed t = readTyped(lineEdit()->text(), prefix(), suffix());
    if (!t.hasDigits || (isWhole(t) && inRange(t, entryMin(this), entryMax(this)))) return false;
    const bool fraction = t.value && !isWhole(t) && inRange(t, entryMin(this), entryMax(this));
    refuse(this, lineEdit(), prefix(), suffix(), textFromValue(value()),
           fraction ? "is not a whole number."
                    : rangeText(QString::number(entryMin(this)), QString::number(entryMax(this))));
    return true;
}

void WholeEntry::keyPressEvent(QKeyEvent* event) {
    if (keyOnEmpty(this, lineEdit(), event, prefix(), suffix())) return;
    if (isEnter(event) && !refuseTyped() && typedNumber(lineEdit(), prefix(), suffix()))
        takeOperatorsValue(this);
    QSpinBox::keyPressEvent(event);
}

void WholeEntry::focusOutEvent(QFocusEvent* event) {
    if (!refuseTyped() && typedNumber(lineEdit(), prefix(), suffix())) takeOperatorsValue(this);
    QSpinBox::focusOutEvent(event);
}
