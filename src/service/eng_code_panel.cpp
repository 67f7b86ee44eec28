#include "service/eng_code_panel.h"

#include "panelkit/control_session.h"
#include "panelkit/window_place.h"
#include "service/eng_access.h"
#include "ui_eng_code.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>

EngCodePanel::EngCodePanel(ControlSession& session, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::engCodePanel>()), session_(session) {
    ui_->setupUi(this);
    // Nobody looking over the shoulder sees the code.
    if (auto* edit = ui_->codeNumeric->findChild<QLineEdit*>())
        edit->setEchoMode(QLineEdit::Password);
    connect(ui_->okButton, &QPushButton::clicked, this, &EngCodePanel::check);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &EngCodePanel::dismiss);
}

EngCodePanel::~EngCodePanel() = default;

void EngCodePanel::open() {
    // Modality only takes effect on a hidden window.
    hide();
    setWindowModality(Qt::ApplicationModal);
    showPanel(this, &placed_);
}

void EngCodePanel::check() {
    // The level is the buttons' dimmed state; nothing here dims them again.
    if (ui_->codeNumeric->value() == kEngAccessCode) session_.post(unlockEngineering);
    dismiss();
}

void EngCodePanel::dismiss() {
    // The code stays on screen no longer than it takes to check it, so the
    // next person to open the popup does not find it typed in.
    ui_->codeNumeric->setValue(0);
    hide();
    setWindowModality(Qt::NonModal);
}

void EngCodePanel::keyPressEvent(QKeyEvent* event) {
    // Enter in the code is OK, as at any prompt.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QWidget* focus = focusWidget();
    if (enter && focus && (focus == ui_->codeNumeric || ui_->codeNumeric->isAncestorOf(focus))) {
        event->accept();
        check();
        return;
    }
    QWidget::keyPressEvent(event);
}

void EngCodePanel::closeEvent(QCloseEvent* event) {
    // The close box is Cancel.
    dismiss();
    event->accept();
}
