#pragma once
// The box every message and question is shown in. Its text is shown exactly
// as the logic gives it, line breaks and tabs included, and is never wrapped:
// the help texts indent their lines with runs of tabs, and a box that wraps
// at a fixed width breaks such a run across lines, so that words land in a
// column of their own and read out of order. Here a tab stop is one average
// character wide, so a run of tabs indents by a few characters, and a text
// wider or taller than the screen scrolls rather than wraps. The text can be
// selected, and Ctrl+C copies it whole.
#include <QDialog>

class QHBoxLayout;
class QTextEdit;
class QPushButton;

class MessageBox : public QDialog {
  public:
    MessageBox(const QString& title, const QString& text);

    QString text() const;
    // The view that shows the text, as laid out.
    QTextEdit* textView() const { return view_; }

    // Buttons from left to right, in the order added.
    QPushButton* addButton(const QString& label);
    // Enter presses the default button, Escape and the close box the escape
    // button; with no escape button a box with one button takes that one,
    // and one with several stays open.
    void setDefaultButton(QPushButton* button);
    void setEscapeButton(QPushButton* button) { escape_ = button; }
    // The button that closed the box; none when the logic closed it.
    QPushButton* clickedButton() const { return clicked_; }

    // Sizes the box to its text (as showing it first does), up to
    // kScreenShare of the screen; past that the text scrolls.
    void fitToText();
    static constexpr double kScreenShare = 0.8;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    QPushButton* escapeButton() const;

    QTextEdit* view_;
    QHBoxLayout* buttons_;
    QPushButton* escape_ = nullptr;
    QPushButton* clicked_ = nullptr;
    bool fitted_ = false;
};
