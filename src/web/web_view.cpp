#include "web/web_view.h"

#include <QCoreApplication>

#include <ctime>

namespace {

// QCoreApplication keeps a reference to these for its lifetime.
int appArgc = 1;
char appName[] = "q7";
char* appArgv[] = {appName, nullptr};

} // namespace

std::variant<std::unique_ptr<WebView>, std::string> WebView::start(PlantView& plant,
                                                                   WebServerOptions options) {
    std::unique_ptr<WebView> view(new WebView);
    if (!QCoreApplication::instance())
        view->app_ = std::make_unique<QCoreApplication>(appArgc, appArgv);
    view->thread_.setObjectName("web");
    view->server_ = new WebServer(plant, std::move(options));
    view->server_->moveToThread(&view->thread_);
    view->thread_.start();
    std::string why;
    QMetaObject::invokeMethod(
        view->server_,
        [&] {
            why = view->server_->listen();
            view->port_ = view->server_->port();
        },
        Qt::BlockingQueuedConnection);
    if (!why.empty()) return why;
    return view;
}

WebView::~WebView() {
    if (server_) {
        // Deleted on its own thread, where its sockets live.
        QMetaObject::invokeMethod(
            server_, [this] { delete server_; }, Qt::BlockingQueuedConnection);
    }
    thread_.quit();
    thread_.wait();
}

double WebView::serverCpuSeconds() {
    double seconds = 0;
    QMetaObject::invokeMethod(
        server_,
        [&] {
            timespec t{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            seconds = double(t.tv_sec) + double(t.tv_nsec) / 1e9;
        },
        Qt::BlockingQueuedConnection);
    return seconds;
}

int WebView::webSocketClients() {
    int n = 0;
    QMetaObject::invokeMethod(
        server_, [&] { n = server_->webSocketClients(); }, Qt::BlockingQueuedConnection);
    return n;
}
