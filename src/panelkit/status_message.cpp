#include "panelkit/status_message.h"

#include "panelkit/gui_call.h"
#include "panelkit/panel_table.h"
#include "panelkit/window_place.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace {

// Long enough to read after a popup closes, short enough not to be taken
// for the outcome of a later action.
constexpr int kStatusShownMs = 10000;

// The main panel's file marks the label the words go to. GUI thread.
QLabel* statusLabel() {
    QWidget* root = panelRoot(mainPanel());
    if (!root) return nullptr;
    for (QLabel* l : root->findChildren<QLabel*>())
        if (l->property("statusMessage").toBool()) return l;
    return nullptr;
}

} // namespace

void showStatus(const std::string& text) {
    onGui([&] {
        QLabel* label = statusLabel();
        if (!label) return;
        const QString shown = QString::fromStdString(text);
        label->setText(shown);
        label->setToolTip(shown); // a long path may not fit beside the line's state
        QTimer::singleShot(kStatusShownMs, label, [label, shown] {
            if (label->text() == shown) label->clear();
        });
    });
}

std::string lastStatus() {
    return onGui([] {
        const QLabel* label = statusLabel();
        return label ? label->toolTip().toStdString() : std::string();
    });
}
