#pragma once
// The numeric entries of every panel (the panel files' spin boxes). Qt's own
// spin boxes read typed text by the desktop's locale and drop keystrokes they
// cannot place: on a German desktop "25.5" becomes 255, and with no digits
// after the point shown "123.6" becomes 123. These read and show numbers the
// same way everywhere: a decimal point (a typed comma counts as one), no
// digit grouping. What is typed is kept as typed, not cut to the digits
// shown, and a typed value the entry cannot hold is refused visibly when the
// operator presses Enter or leaves the field. An entry that shows no value
// (no_value.h) takes the first digit typed in place of its mark, and Enter
// with nothing typed sends nothing.
#include <QDoubleSpinBox>
#include <QSpinBox>

class RealEntry : public QDoubleSpinBox {
    Q_OBJECT
    // The panel files' "decimals" is the number of digits shown; the value
    // keeps every digit the operator typed, up to kKeptDigits.
    Q_PROPERTY(int decimals READ shownDigits WRITE setShownDigits)
    // False: zeros at the end of the digits shown are left off ("25.2" rather
    // than "25.200000"), for a field that takes any value rather than one of
    // a register's steps.
    Q_PROPERTY(bool trailingZeros READ trailingZeros WRITE setTrailingZeros)

  public:
    static constexpr int kKeptDigits = 6;

    explicit RealEntry(QWidget* parent = nullptr);
    int shownDigits() const { return shown_; }
    void setShownDigits(int digits);
    bool trailingZeros() const { return trailingZeros_; }
    void setTrailingZeros(bool on);
    // A value the logic puts here is held as shown: a register value over
    // its divisor, without the noise of single precision.
    void showValue(double value);

    QValidator::State validate(QString& text, int& pos) const override;
    double valueFromText(const QString& text) const override;
    // Rounded half away from zero, as a register value is.
    QString textFromValue(double value) const override;

    void stepBy(int steps) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    double roundedToShown(double value) const;
    QString numberText(double value) const;
    bool refuseTyped();
    int shown_ = 2;
    bool trailingZeros_ = true;
};

// Decimal entries only; an entry shown in another base (the debug panel's
// hexadecimal bytes) keeps Qt's handling, which has no locale in it.
//
// Two entries may be the fields of one time word (major × 60 + minor, a
// signed 16-bit count): the panel file names the other field in the
// property "timeWordMinor" of the major field and "timeWordMajor" of the
// minor one. Stepping either stops where the pair reaches what the word
// holds (546:07, -546:-08) rather than at a time that is refused when sent.
class WholeEntry : public QSpinBox {
    Q_OBJECT

  public:
    explicit WholeEntry(QWidget* parent = nullptr);

    QValidator::State validate(QString& text, int& pos) const override;
    int valueFromText(const QString& text) const override;
    QString textFromValue(int value) const override;
    void stepBy(int steps) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    bool decimal() const { return displayIntegerBase() == 10; }
    bool refuseTyped();
    void keepTimeWordWhole();
};
