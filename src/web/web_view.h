#pragma once
// The web view as the bridge starts it: the server on a thread of its own
// (own_thread.h: made on the main thread before other threads use Qt), fed
// by a PlantView the bridge calls from its line threads.
#include "web/own_thread.h"
#include "web/plant_view.h"
#include "web/web_server.h"

#include <memory>
#include <string>
#include <variant>

class WebView {
  public:
    // Why it cannot serve (the address is taken, say), else the view.
    static std::variant<std::unique_ptr<WebView>, std::string> start(PlantView& plant,
                                                                     WebServerOptions options);
    ~WebView(); // stops the server and its thread
    WebView(const WebView&) = delete;
    WebView& operator=(const WebView&) = delete;

    quint16 port() const { return port_; }
    // CPU seconds the server's thread has used, for the benchmarks.
    double serverCpuSeconds();
    int webSocketClients();

  private:
    WebView() = default;

    std::unique_ptr<OwnThread<WebServer>> server_;
    quint16 port_ = 0;
};
