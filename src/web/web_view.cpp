#include "web/web_view.h"

#include <ctime>

std::variant<std::unique_ptr<WebView>, std::string> WebView::start(PlantView& plant,
                                                                   WebServerOptions options) {
    std::unique_ptr<WebView> view(new WebView);
    view->server_ = std::make_unique<OwnThread<WebServer>>(
        "web", [&] { return new WebServer(plant, std::move(options)); });
    std::string why;
    view->server_->call([&, s = view->server_->object()] {
        why = s->listen();
        view->port_ = s->port();
    });
    if (!why.empty()) return why;
    return view;
}

WebView::~WebView() = default;

double WebView::serverCpuSeconds() {
    double seconds = 0;
    server_->call([&] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        seconds = double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    });
    return seconds;
}

int WebView::webSocketClients() {
    int n = 0;
    server_->call([&, s = server_->object()] { n = s->webSocketClients(); });
    return n;
}
