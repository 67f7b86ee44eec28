#include "panelkit/status_message.h"

#include "panelkit/gui_call.h"
#include "panelkit/panel_table.h"
#include "panelkit/window_place.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <mutex>

namespace {

// Long enough to read after a popup closes, short enough not to be taken
// for the outcome of a later action.
constexpr int kShownMs = 10000;

std::mutex gMutex;
std::string gLast;

} // namespace

void showStatus(const std::string& text) {
    {
        std::lock_guard lock(gMutex);
        gLast = text;
    }
    onGui([&] {
        QWidget* root = panelRoot(mainPanel());
        // The main panel's file marks the label the words go to; without
        // one they are only kept.
        QLabel* label = nullptr;
        if (root)
            for (QLabel* l : root->findChildren<QLabel*>())
                if (l->property("statusMessage").toBool()) label = l;
        if (!label) return;
        const QString shown = QString::fromStdString(text);
        label->setText(shown);
        label->setToolTip(shown); // a long path may not fit beside the line's state
        QTimer::singleShot(kShownMs, label, [label, shown] {
            if (label->text() == shown) label->clear();
        });
    });
}

std::string lastStatus() {
    std::lock_guard lock(gMutex);
    return gLast;
}

void forgetStatus() {
    std::lock_guard lock(gMutex);
    gLast.clear();
}
