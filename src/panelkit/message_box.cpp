#include "panelkit/message_box.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The room the view's text takes as the view lays it out (its font, tab
// stops and margins) with no width to wrap at.
QSize textExtent(const QTextEdit* view) {
    const std::unique_ptr<QTextDocument> doc(view->document()->clone());
    // The view's own font reaches its document only once it is polished.
    doc->setDefaultFont(view->font());
    doc->setTextWidth(-1);
    const QSizeF size = doc->size();
    return {int(std::ceil(size.width())) + 2, int(std::ceil(size.height())) + 2};
}

// A text view that asks for the room its text takes, not a scroll area's
// stock size, so that a short message makes a small box.
class TextView : public QTextEdit {
  public:
    using QTextEdit::QTextEdit;
    QSize sizeHint() const override { return minimumSize(); }
};

} // namespace

MessageBox::MessageBox(const QString& title, const QString& text) {
    setWindowTitle(title);
    view_ = new TextView(this);
    view_->setReadOnly(true);
    view_->setAcceptRichText(false);
    view_->setLineWrapMode(QTextEdit::NoWrap);
    view_->setFrameShape(QFrame::NoFrame);
    view_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Keys go to the buttons until the operator clicks into the text.
    view_->setFocusPolicy(Qt::ClickFocus);
    // It reads as the box's own words, not as a field to type in.
    QPalette palette = view_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    view_->setPalette(palette);
    view_->setTabStopDistance(std::max(1, view_->fontMetrics().averageCharWidth()));
    view_->setPlainText(text);

    buttons_ = new QHBoxLayout;
    buttons_->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons_);
}

QString MessageBox::text() const {
    return view_->toPlainText();
}

QPushButton* MessageBox::addButton(const QString& label) {
    auto* button = new QPushButton(label, this);
    // Enter presses the default button, not whichever one has the focus.
    button->setAutoDefault(false);
    buttons_->addWidget(button);
    connect(button, &QPushButton::clicked, this, [this, button] {
        clicked_ = button;
        accept();
    });
    return button;
}

void MessageBox::setDefaultButton(QPushButton* button) {
    if (button) button->setDefault(true);
}

QPushButton* MessageBox::escapeButton() const {
    if (escape_) return escape_;
    const QList<QPushButton*> all = findChildren<QPushButton*>();
    return all.size() == 1 ? all.front() : nullptr;
}

void MessageBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        QGuiApplication::clipboard()->setText(text());
        return;
    }
    if (event->matches(QKeySequence::Cancel)) {
        if (QPushButton* b = escapeButton()) b->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MessageBox::closeEvent(QCloseEvent* event) {
    // The close box answers as Escape does; the logic may always close it.
    if (!event->spontaneous()) return QDialog::closeEvent(event);
    if (QPushButton* b = escapeButton()) {
        clicked_ = b;
        return QDialog::closeEvent(event);
    }
    event->ignore();
}

void MessageBox::showEvent(QShowEvent* event) {
    fitToText();
    QDialog::showEvent(event);
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->isDefault()) b->setFocus();
}

// The view takes the text's own size; where that is cut to the screen, the
// scroll bar's room is added across the other way.
void MessageBox::fitToText() {
    if (fitted_) return;
    fitted_ = true;
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect room = where ? where->availableGeometry() : QRect(0, 0, 1024, 600);
    ensurePolished();
    view_->ensurePolished();
    const QSize need = textExtent(view_);
    const int maxWidth = int(room.width() * kScreenShare);
    const int maxHeight = int(room.height() * kScreenShare) - 80; // the buttons' row and margins
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    int width = need.width(), height = need.height();
    if (width > maxWidth) height += bar;
    if (height > maxHeight) width += bar;
    // A text that fits gets no scroll bars: shown while the box is laid out,
    // they would take room from the text and keep each other on.
    if (width <= maxWidth && height <= maxHeight) {
        view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    view_->setMinimumSize(std::clamp(width, 1, maxWidth), std::clamp(height, 1, maxHeight));
    adjustSize();
}
