#pragma once
// The web view's server: a small HTTP responder on QTcpServer that answers
// GET only, and WebSockets on /ws. It lives on its own thread (WebView
// makes it), so a slow client or a large page never holds up a line.
//
// Bounds: a request head of at most kMaxHeadBytes and kMaxHeaderLines
// (else 431), at most maxConnections at once counting WebSockets (a client
// beyond that gets 503 and is closed), a client without a whole head after
// requestTimeout is dropped, and a WebSocket client that does not read
// (more than maxUnsentBytes waiting) is dropped rather than buffered.
// Every answer closes its connection. No path reaches the file system: the
// page is built in, everything else is made from the plant view and the
// run store.
#include "web/listen_address.h"
#include "web/plant_view.h"
#include "web/runs_json.h"

#include <QObject>

#include <chrono>
#include <map>
#include <string>

class QTcpServer;
class QTcpSocket;
class QTimer;
class QWebSocket;
class QWebSocketServer;

struct WebServerOptions {
    ListenAddress listen;
    std::string runStorePath; // runs.sqlite; the view only reads it
    std::chrono::milliseconds requestTimeout{10000};
    int maxConnections = 64;
    qint64 maxUnsentBytes = 1 << 20;
};

class WebServer : public QObject {
    Q_OBJECT
  public:
    WebServer(PlantView& plant, WebServerOptions options);
    ~WebServer() override;

    // On the server's thread: starts listening. Why not, else "".
    std::string listen();
    quint16 port() const;
    int webSocketClients() const { return int(clients_.size()); }

  private:
    struct Connection {
        QTimer* timer = nullptr;
        bool closing = false; // answered: what the client still sends is read and dropped
        qint64 drained = 0;
    };

    void accept();
    void readable(QTcpSocket* socket);
    void answer(QTcpSocket* socket, int status, const std::string& type, const std::string& body,
                const std::string& extraHeaders = "");
    void route(QTcpSocket* socket, const std::string& path);
    void upgrade(QTcpSocket* socket);
    void webSocketJoined();
    void send(QWebSocket* client, const std::string& message);
    void pushChanges();
    void finishClose(QTcpSocket* socket);

    PlantView& plant_;
    WebServerOptions options_;
    RunsJson runs_;
    QTcpServer* tcp_;
    QWebSocketServer* webSockets_;
    int connections_ = 0;
    std::map<QTcpSocket*, Connection> http_;
    std::map<QWebSocket*, qint64> clients_; // each with its bytes not yet written
};
