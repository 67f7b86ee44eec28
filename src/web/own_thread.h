#pragma once
// A server object on a thread of its own, as the bridge runs its web view,
// its Modbus TCP server and its InfluxDB output.
//
// Qt's sockets need a QCoreApplication to exist, though not to run: each
// thread has its own event loop. Where none exists (q7 serve has none), one
// is made here, so the first of them must be made on the main thread before
// any other thread uses Qt; it is kept until the one that made it goes.
#include <QCoreApplication>
#include <QThread>

#include <memory>
#include <utility>

// The QCoreApplication Qt's sockets need, made where none exists; nothing
// where one does.
std::unique_ptr<QCoreApplication> coreApplicationIfNone();

template <class T> class OwnThread {
  public:
    // Makes the object with make() (once there is a QCoreApplication) and
    // starts the thread named name with it there.
    template <class Make>
    OwnThread(const char* name, Make make) : app_(coreApplicationIfNone()), object_(make()) {
        thread_.setObjectName(name);
        object_->moveToThread(&thread_);
        thread_.start();
    }
    // The object is deleted on its own thread, where its sockets live.
    ~OwnThread() {
        QMetaObject::invokeMethod(
            object_, [o = object_] { delete o; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    OwnThread(const OwnThread&) = delete;
    OwnThread& operator=(const OwnThread&) = delete;

    // Runs f on the object's thread and waits until it has.
    template <class F> void call(F f) {
        QMetaObject::invokeMethod(object_, std::move(f), Qt::BlockingQueuedConnection);
    }
    T* object() const { return object_; }

  private:
    std::unique_ptr<QCoreApplication> app_;
    QThread thread_;
    T* object_;
};
