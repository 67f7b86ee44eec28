#pragma once
// The web view as the bridge starts it: the server on a thread of its own,
// fed by a PlantView the bridge calls from its line threads.
//
// Qt's sockets need a QCoreApplication to exist, though not to run: the
// server's thread has its own event loop. Where none exists (q7 serve has
// none), WebView makes one, so it must then be created on the main thread
// and before any other thread uses Qt; it keeps it until it goes.
#include "web/plant_view.h"
#include "web/web_server.h"

#include <QThread>

#include <memory>
#include <string>
#include <variant>

class QCoreApplication;

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

    std::unique_ptr<QCoreApplication> app_;
    QThread thread_;
    WebServer* server_ = nullptr;
    quint16 port_ = 0;
};
