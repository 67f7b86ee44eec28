#include "panelkit/panel_keys.h"
#include "panelkit/control_events.h"
#include "panelkit/panel_table.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <string>

namespace {

class EnterPresses : public QObject {
  public:
    EnterPresses(int panel, const QString& target, QObject* parent)
        : QObject(parent), panel_(panel), target_(internName(target)) {}

  protected:
    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (ev->type() != QEvent::KeyPress) return false;
        const int key = static_cast<QKeyEvent*>(ev)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        // What was typed becomes the entry's value before the button reads it.
        for (QObject* o = obj; o; o = o->parent())
            if (auto* spin = qobject_cast<QAbstractSpinBox*>(o)) {
                spin->interpretText();
                break;
            }
        postControlEvent(panel_, target_, EVENT_COMMIT);
        return true;
    }

  private:
    int panel_;
    CtrlId target_;
};

bool isEntry(QWidget* w) {
    return qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QLineEdit*>(w);
}

void mask(QWidget* entry) {
    auto* edit = qobject_cast<QLineEdit*>(entry);
    if (!edit) edit = entry->findChild<QLineEdit*>();
    if (edit) edit->setEchoMode(QLineEdit::Password);
}

} // namespace

void wirePanelKeys(int panel, QWidget* root) {
    for (QWidget* w : root->findChildren<QWidget*>())
        if (w->property("masked").toBool()) mask(w);
    const QString target = root->property("enterControl").toString();
    if (target.isEmpty()) return;
    auto* presses = new EnterPresses(panel, target, root);
    for (QWidget* w : root->findChildren<QWidget*>()) {
        // An entry with its own callback commits on Enter itself.
        if (!isEntry(w) || !w->property("callback").toString().isEmpty()) continue;
        w->installEventFilter(presses);
        for (QWidget* part : w->findChildren<QWidget*>())
            part->installEventFilter(presses);
    }
}
