#pragma once
// Tells when serial devices come or go: inotify on /dev, /dev/serial and
// /dev/serial/by-id, read from the Qt event loop. Nothing polls.
#include "serial/port_discovery.h"

#include <QObject>

#include <functional>
#include <map>

class QSocketNotifier;

class PortWatcher : public QObject {
  public:
    // changed runs on the watcher's thread after each batch of changes that
    // may touch a serial device.
    PortWatcher(DiscoveryRoots roots, std::function<void()> changed, QObject* parent = nullptr);
    ~PortWatcher() override;
    PortWatcher(const PortWatcher&) = delete;
    PortWatcher& operator=(const PortWatcher&) = delete;

    // False when inotify could not be set up: the list then stays as first found.
    bool watching() const { return fd_ >= 0; }

  private:
    enum class Folder { dev, serial, byId };
    void watchFolders();
    void readEvents();

    DiscoveryRoots roots_;
    std::function<void()> changed_;
    int fd_ = -1;
    std::map<int, Folder> watches_;
    QSocketNotifier* notifier_ = nullptr;
};
