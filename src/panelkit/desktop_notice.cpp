#include "panelkit/desktop_notice.h"

#include "panelkit/gui_call.h"
#include "panelkit/panel_test_api.h"
#include "panelkit/popup_hook.h"
#include "panelkit/status_message.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace {

constexpr int kNoticeShownMs = 10000;

bool viaTray(const QString& title, const QString& text) {
    if (!QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages())
        return false;
    // One icon for the program's life: a message needs one that is shown.
    static QSystemTrayIcon* icon = [] {
        auto* i = new QSystemTrayIcon(QApplication::windowIcon(), qApp);
        i->show();
        return i;
    }();
    icon->showMessage(title, text, QSystemTrayIcon::Warning, kNoticeShownMs);
    return true;
}

bool viaSessionBus(const QString& title, const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = "org.freedesktop.Notifications";
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(service).value())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(service, "/org/freedesktop/Notifications",
                                                       service, "Notify");
    call << QString("q7") << uint(0) << QString("dialog-warning") << title << text
         << QStringList() << QVariantMap() << int(kNoticeShownMs);
    // Sent without waiting for the answer: a slow service must not hold up the GUI.
    return bus.send(call);
}

} // namespace

void desktopNotice(const std::string& title, const std::string& text) {
    const QString t = QString::fromStdString(title), x = QString::fromStdString(text);
    const bool shown = onGui([&] {
        if (PopupScript* script = activePopupScript()) {
            script->notifications.push_back({"notification", title, text});
            return true;
        }
        return viaTray(t, x);
    });
    if (shown) return;
    // Asked on the calling thread: a bus slow to answer holds up no window.
    if (viaSessionBus(t, x)) return;
    showStatus(title + ": " + text);
}
