#pragma once
// A small round lamp: dark for 0, lit in onColor for 1, and lit in
// warnColor for 2, the state of a lamp whose good news is in doubt (a
// connection whose controller stopped answering).
#include <QColor>
#include <QWidget>

class Led : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)
    Q_PROPERTY(QColor warnColor READ warnColor WRITE setWarnColor)

  public:
    enum State { off = 0, on = 1, warning = 2 };
    explicit Led(QWidget* parent = nullptr);

    int value() const { return value_; }
    // Values beyond the three states count as on.
    void setValue(int v);
    QColor onColor() const { return onColor_; }
    void setOnColor(const QColor& c);
    QColor warnColor() const { return warnColor_; }
    void setWarnColor(const QColor& c);
    QSize sizeHint() const override { return {18, 18}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    int value_ = off;
    QColor onColor_{0, 200, 0};
    QColor warnColor_{230, 160, 0};
};
