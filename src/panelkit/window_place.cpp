#include "panelkit/window_place.h"

#include "panelkit/panel_table.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

int gMainPanel = 0;
const char* kPlaced = "q7Placed";

} // namespace

void setMainPanel(int panel) {
    gMainPanel = panel;
}

int mainPanel() {
    return gMainPanel;
}

bool placeBeside(QWidget* window, QWidget* anchor) {
    if (!anchor || !anchor->isVisible()) anchor = panelRoot(gMainPanel);
    if (!window || !anchor || anchor == window || !anchor->isVisible()) return false;
    const QScreen* screen = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen();
    if (!screen) return false;
    const QRect room = screen->availableGeometry().adjusted(kWindowMargin, kWindowMargin,
                                                            -kWindowMargin, -kWindowMargin);
    const QRect home = anchor->frameGeometry();
    // The window manager frames this window as it frames the anchor.
    const QSize frame = home.size() - anchor->geometry().size();
    QSize outer = window->size() + frame;
    if (outer.width() > room.width() || outer.height() > room.height()) {
        window->resize((outer.boundedTo(room.size()) - frame).expandedTo(window->minimumSize()));
        outer = window->size() + frame;
    }
    int x = 0, y = home.top();
    if (home.right() + kWindowMargin + outer.width() <= room.right()) {
        x = home.right() + 1 + kWindowMargin;
    } else if (home.left() - kWindowMargin - outer.width() >= room.left()) {
        x = home.left() - kWindowMargin - outer.width();
    } else {
        x = home.center().x() - outer.width() / 2;
        y = home.center().y() - outer.height() / 2;
    }
    x = std::clamp(x, room.left(), std::max(room.left(), room.right() + 1 - outer.width()));
    y = std::clamp(y, room.top(), std::max(room.top(), room.bottom() + 1 - outer.height()));
    window->move(x, y);
    return true;
}

void placePanelOnFirstShow(int panel) {
    PanelEntry* entry = panelEntry(panel);
    if (!entry || !entry->root || panel == gMainPanel || entry->root->property(kPlaced).toBool())
        return;
    if (placeBeside(entry->root, panelRoot(entry->parent))) entry->root->setProperty(kPlaced, true);
}

void showPanel(QWidget* panel, bool* placed) {
    if (!*placed) *placed = placeBeside(panel);
    panel->show();
    panel->raise();
}

void releaseForm(QObject* panel) {
    for (QObject* child : panel->findChildren<QObject*>())
        QObject::disconnect(child, nullptr, panel, nullptr);
}
