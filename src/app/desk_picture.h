#pragma once
// One picture of every panel as an operator who opened them all would see
// them on a screen wide enough: the main panel whole at the top left, the
// others beside it, cascaded in the order they were opened, each under its
// title bar and over the ones opened before it. It is drawn from the panels'
// own pictures rather than grabbed: a screen with no window manager (Xvfb)
// gives windows no frames and leaves them where they were put, on one
// another and over the main panel.
#include <QImage>
#include <QPixmap>
#include <QString>

#include <vector>

struct DeskWindow {
    QString title;
    QPixmap picture;
};

// windows: the main panel first, then the others as they were opened.
QImage deskPicture(const std::vector<DeskWindow>& windows);

// Where the first window's picture lies in the desk picture, in its pixels.
QPoint firstWindowAt(qreal devicePixelRatio = 1.0);
