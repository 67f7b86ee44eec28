#pragma once
// A small round lamp: lit in onColor for 1, dark for 0.
#include <QColor>
#include <QWidget>

class Led : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)

  public:
    explicit Led(QWidget* parent = nullptr);

    int value() const { return value_; }
    void setValue(int v);
    QColor onColor() const { return onColor_; }
    void setOnColor(const QColor& c);
    QSize sizeHint() const override { return {18, 18}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    int value_ = 0;
    QColor onColor_{0, 200, 0};
};
