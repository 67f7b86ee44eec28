#include "app/desk_picture.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

// In the pictures' device-independent pixels.
constexpr int kGap = 24;
constexpr int kTitle = 24;
constexpr int kBorder = 1;
// A title bar and a little more: every cascaded window's title stays readable.
constexpr int kCascadeStep = kTitle + 8;

const QColor kDesk(58, 74, 90);
const QColor kFrame(90, 90, 90);
const QColor kTitleBar(214, 214, 214);
const QColor kActiveTitleBar(170, 196, 226);

int scaled(int v, qreal dpr) {
    return int(v * dpr);
}

// A picture in its own device pixels, whatever ratio it was taken at.
QImage inDevicePixels(const QPixmap& picture) {
    QImage image = picture.toImage();
    image.setDevicePixelRatio(1.0);
    return image;
}

} // namespace

QPoint firstWindowAt(qreal dpr) {
    const int left = scaled(kGap, dpr) + scaled(kBorder, dpr);
    return QPoint(left, left + scaled(kTitle, dpr));
}

QImage deskPicture(const std::vector<DeskWindow>& windows) {
    if (windows.empty()) return {};
    const qreal dpr = std::max<qreal>(windows.front().picture.devicePixelRatio(), 1.0);
    const auto px = [dpr](int v) { return scaled(v, dpr); };

    // Each window's outer rectangle: its frame, title bar and picture.
    std::vector<QRect> outer;
    const QSize first = inDevicePixels(windows.front().picture).size();
    outer.emplace_back(QPoint(px(kGap), px(kGap)),
                       first + QSize(px(2 * kBorder), px(2 * kBorder + kTitle)));
    const QPoint cascade(outer.front().right() + 1 + px(kGap), px(kGap));
    for (std::size_t i = 1; i < windows.size(); ++i) {
        const QSize size = inDevicePixels(windows[i].picture).size();
        outer.emplace_back(cascade + QPoint(px(kCascadeStep), px(kCascadeStep)) * int(i - 1),
                           size + QSize(px(2 * kBorder), px(2 * kBorder + kTitle)));
    }
    QRect all;
    for (const QRect& r : outer)
        all |= r;

    QImage desk(all.right() + 1 + px(kGap), all.bottom() + 1 + px(kGap), QImage::Format_RGB32);
    desk.fill(kDesk);
    QPainter painter(&desk);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(px(13));
    painter.setFont(font);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const QRect& r = outer[i];
        const bool active = i + 1 == windows.size();
        painter.fillRect(r, kFrame);
        const QRect titleBar(r.left() + px(kBorder), r.top() + px(kBorder),
                             r.width() - px(2 * kBorder), px(kTitle));
        painter.fillRect(titleBar, active ? kActiveTitleBar : kTitleBar);
        painter.setPen(Qt::black);
        const QRect text = titleBar.adjusted(px(8), 0, -px(8), 0);
        painter.drawText(
            text, Qt::AlignVCenter | Qt::AlignLeft,
            QFontMetrics(font).elidedText(windows[i].title, Qt::ElideRight, text.width()));
        painter.drawImage(titleBar.bottomLeft() + QPoint(0, 1), inDevicePixels(windows[i].picture));
    }
    return desk;
}
