#include "serial/port_watcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <regex>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t kFolderEvents =
    IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF;

// /dev sees every device of the machine come and go; only serial ones and
// the folder udev keeps their stable names in matter here.
bool mattersInDev(const char* name) {
    static const std::regex serial("tty(USB|ACM|S)[0-9]+|serial");
    return std::regex_match(name, serial);
}

} // namespace

PortWatcher::PortWatcher(DiscoveryRoots roots, std::function<void()> changed, QObject* parent)
    : QObject(parent), roots_(std::move(roots)), changed_(std::move(changed)) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        std::fprintf(stderr, "q7: cannot watch for serial adapters: %s\n", std::strerror(errno));
        return;
    }
    watchFolders();
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readEvents(); });
}

PortWatcher::~PortWatcher() {
    delete notifier_;
    if (fd_ >= 0) ::close(fd_);
}

// The serial folders exist only while some adapter is plugged in, so they
// are watched again whenever something changes above them.
void PortWatcher::watchFolders() {
    const std::pair<std::string, Folder> folders[] = {
        {roots_.dev, Folder::dev},
        {roots_.dev + "/serial", Folder::serial},
        {roots_.dev + "/serial/by-id", Folder::byId},
    };
    for (const auto& [path, folder] : folders) {
        const int wd = inotify_add_watch(fd_, path.c_str(), kFolderEvents | IN_ONLYDIR);
        if (wd >= 0) watches_[wd] = folder;
    }
}

void PortWatcher::readEvents() {
    alignas(inotify_event) char buffer[8192];
    bool relevant = false;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const auto it = watches_.find(event->wd);
            // Events were lost: anything may have changed.
            if (event->mask & IN_Q_OVERFLOW) relevant = true;
            if (event->mask & IN_IGNORED) {
                if (it != watches_.end()) watches_.erase(it);
                relevant = true;
                continue;
            }
            if (it == watches_.end()) continue;
            const char* name = event->len ? event->name : "";
            switch (it->second) {
            case Folder::dev:
                relevant |= mattersInDev(name);
                break;
            case Folder::serial:
                relevant |= std::strcmp(name, "by-id") == 0;
                break;
            case Folder::byId:
                relevant = true;
                break;
            }
        }
    }
    if (!relevant) return;
    watchFolders();
    if (changed_) changed_();
}
