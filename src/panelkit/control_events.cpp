#include "panelkit/control_events.h"
#include "panelkit/callback_registry.h"
#include "panelkit/control_thread.h"
#include "panelkit/panel_table.h"
#include "panelkit/panel_test_api.h"
#include "widgets/timer_control.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDoubleSpinBox>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>

#include <cstdio>

namespace {

const char* kCommitted = kCommittedProperty;
const char* kEnterPressed = kEnterPressedProperty;

// Watches one panel: right clicks on its controls (and on their inner parts,
// which is where the mouse actually lands on a spin box), Enter in entry
// fields, and the window's close box.
class PanelWatcher : public QObject {
  public:
    PanelWatcher(int panel, QWidget* root) : QObject(root), panel_(panel), root_(root) {
        root->installEventFilter(this);
    }

    void watch(QWidget* control, CtrlId name) {
        for (QWidget* part : control->findChildren<QWidget*>())
            add(part, control, name);
        add(control, control, name);
    }

  protected:
    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (obj == root_ && ev->type() == QEvent::Close) return closeRequested(ev);
        auto it = parts_.constFind(obj);
        if (it == parts_.constEnd()) return false;
        const Part& p = it.value();
        switch (ev->type()) {
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(ev)->button() == Qt::RightButton)
                postControlEvent(panel_, p.name, EVENT_RIGHT_CLICK);
            return false;
        case QEvent::ContextMenu:
            // Mouse-made menu requests were already posted on the press; the
            // menu key still counts. Either way no edit menu pops up.
            if (static_cast<QContextMenuEvent*>(ev)->reason() != QContextMenuEvent::Mouse)
                postControlEvent(panel_, p.name, EVENT_RIGHT_CLICK);
            return true;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(ev)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                p.control->setProperty(kEnterPressed, true);
            return false;
        }
        default:
            return false;
        }
    }

  private:
    struct Part {
        QWidget* control;
        CtrlId name;
    };

    void add(QWidget* part, QWidget* control, CtrlId name) {
        parts_.insert(part, {control, name});
        part->installEventFilter(this);
    }

    bool closeRequested(QEvent* ev) {
        // The panel's own exit callback decides whether the window goes away.
        ev->ignore();
        const QString target = root_->property("closeControl").toString();
        if (!target.isEmpty())
            postControlEvent(panel_, internName(target), EVENT_COMMIT);
        else if (!root_->property("ignoreClose").toBool())
            root_->hide();
        return true;
    }

    int panel_;
    QWidget* root_;
    QHash<QObject*, Part> parts_;
};

void wireCommit(int panel, QWidget* w, CtrlId name) {
    auto commit = [panel, name] { postControlEvent(panel, name, EVENT_COMMIT); };
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        QObject::connect(b, &QAbstractButton::clicked, b, commit);
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
        QObject::connect(c, &QComboBox::activated, c, commit);
    } else if (qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QLineEdit*>(w)) {
        rememberCommittedValue(w);
        // Tabbing through a field is not a commit: only Enter or a changed value.
        auto finished = [w, commit] {
            const QVariant now = currentEntry(w);
            if (!w->property(kEnterPressed).toBool() && now == w->property(kCommitted)) return;
            w->setProperty(kEnterPressed, false);
            w->setProperty(kCommitted, now);
            commit();
        };
        if (auto* s = qobject_cast<QAbstractSpinBox*>(w))
            QObject::connect(s, &QAbstractSpinBox::editingFinished, s, finished);
        else
            QObject::connect(static_cast<QLineEdit*>(w), &QLineEdit::editingFinished, w, finished);
    } else if (auto* t = qobject_cast<TimerControl*>(w)) {
        QObject::connect(t, &TimerControl::tick, t,
                         [panel, name] { postControlEvent(panel, name, EVENT_TIMER_TICK); });
    }
}

} // namespace

void wirePanelEvents(int panel, QWidget* root) {
    setEntryRefusedReport(
        [](const std::string& why) { postTask([why] { MessagePopup("Entry Refused", why); }); });
    auto* watcher = new PanelWatcher(panel, root);
    const PanelEntry* entry = panelEntry(panel);
    if (!entry) return;
    for (const auto& [name, w] : entry->controls) {
        if (!w || w->property("callback").toString().isEmpty()) continue;
        wireCommit(panel, w, name);
        watcher->watch(w, name);
    }
}

namespace {

// The call of the control's callback, or nothing when it has none.
std::function<void()> callbackRun(int panel, CtrlId control, int event, QWidget** widget) {
    QWidget* w = lookupControl(panel, control);
    if (!w) {
        std::fprintf(stderr, "q7: event for unknown control '%.*s' on panel %d\n",
                     int(control.size()), control.data(), panel);
        return {};
    }
    const QString name = w->property("callback").toString();
    if (name.isEmpty()) return {};
    PanelCallback fn = findCallback(name.toStdString());
    if (!fn) {
        std::fprintf(stderr, "q7: control '%.*s' names unregistered callback '%s'\n",
                     int(control.size()), control.data(), qPrintable(name));
        return {};
    }
    const CtrlId id = internName(w->objectName());
    if (widget) *widget = w;
    return [fn, panel, id, event] { fn(panel, id, event); };
}

} // namespace

void postControlEvent(int panel, CtrlId control, int event) {
    QWidget* w = nullptr;
    auto run = callbackRun(panel, control, event, &w);
    if (!run) return;
    ControlThread* thread = servedControlThread();
    if (!thread) return;
    if (event == EVENT_TIMER_TICK)
        thread->postTick(w, run); // the timer widget itself keys its ticks
    else
        thread->post(run);
}

void postFinalControlEvent(int panel, CtrlId control, int event) {
    ControlThread* thread = servedControlThread();
    if (!thread) return;
    if (auto run = callbackRun(panel, control, event, nullptr)) thread->postFinal(std::move(run));
}
