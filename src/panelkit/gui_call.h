#pragma once
// Runs a piece of widget code on the GUI thread and hands back its result.
// From the GUI thread itself the code runs directly: a blocking queued call to
// one's own thread would never return.
#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <type_traits>
#include <utility>

template <class F> auto onGui(F&& f) -> decltype(f()) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return f();
    using R = decltype(f());
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(
            app, [&] { f(); }, Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(
            app, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}
