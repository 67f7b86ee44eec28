#include "runtime/status_message.h"
#include "runtime/gui_call.h"
#include "runtime/panel_handles.h"
#include "runtime/panel_table.h"

#include <QStatusBar>
#include <QWidget>

#include <mutex>

namespace {

// Long enough to read after a popup closes, short enough not to be taken
// for the state of the line later on.
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
        QWidget* root = panelRoot(gPanels.main);
        // Without a status bar (a panel file that has none) the word is only kept.
        if (auto* bar = root ? root->findChild<QStatusBar*>() : nullptr)
            bar->showMessage(QString::fromStdString(text), kShownMs);
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
