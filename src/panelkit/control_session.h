#pragma once
// The control thread as a panel class sees it. A panel asks for work with a
// request and gets its result back as a queued call on the GUI thread, so the
// GUI thread never waits for the control thread. A panel's QTimer posts its
// ticks here, and a tick still waiting drops the next one.
#include "panelkit/control_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <functional>
#include <type_traits>
#include <utility>

class ControlSession {
  public:
    // The thread must outlive the session's requests: the app stops it first.
    explicit ControlSession(ControlThread& thread) : thread_(thread) {}
    ControlSession(const ControlSession&) = delete;
    ControlSession& operator=(const ControlSession&) = delete;

    // Runs work on the control thread, after what is queued there.
    void post(std::function<void()> work) { thread_.post(std::move(work)); }

    // Runs work on the control thread and hands its result to done on the
    // GUI thread, queued. Dropped when the receiver (a GUI thread object) is
    // gone by then.
    template <class Work, class Done> void ask(QObject* receiver, Work work, Done done) {
        thread_.post(answered(receiver, std::move(work), std::move(done)));
    }

    // A timer's tick: while one tick of `timer` waits, the next is dropped.
    // False when it was dropped.
    bool tick(const void* timer, std::function<void()> work) {
        return thread_.postTick(timer, std::move(work));
    }
    // A tick whose result comes back as ask's does.
    template <class Work, class Done>
    bool tick(const void* timer, QObject* receiver, Work work, Done done) {
        return thread_.postTick(timer, answered(receiver, std::move(work), std::move(done)));
    }

    ControlThread& thread() { return thread_; }

  private:
    template <class Work, class Done>
    static auto answered(QObject* receiver, Work work, Done done) {
        return [to = QPointer<QObject>(receiver), work = std::move(work),
                done = std::move(done)]() mutable {
            if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
                work();
                deliver(std::move(to), [done = std::move(done)]() mutable { done(); });
            } else {
                deliver(std::move(to), [done = std::move(done), result = work()]() mutable {
                    done(std::move(result));
                });
            }
        };
    }
    template <class F> static void deliver(QPointer<QObject> to, F f) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        QMetaObject::invokeMethod(
            app,
            [to = std::move(to), f = std::move(f)]() mutable {
                if (to) f();
            },
            Qt::QueuedConnection);
    }

    ControlThread& thread_;
};
