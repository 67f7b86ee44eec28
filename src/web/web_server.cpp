#include "web/web_server.h"

#include "web/http_head.h"
#include "web/metrics_text.h"
#include "web/state_json.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <sys/socket.h>

#include <charconv>
#include <chrono>

// The page is a resource of this static library: registered by hand, as
// nothing else would pull it into the program.
static void registerPage() {
    Q_INIT_RESOURCE(web);
}

namespace {

// What an answered client may still send while it is read and dropped (so
// that closing does not reset the connection before it has our answer).
constexpr qint64 kMaxDrainBytes = 4 << 20;

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 426:
        return "Upgrade Required";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Internal Server Error";
    }
}

std::string response(int status, const std::string& type, const std::string& body,
                     const std::string& extraHeaders) {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason(status) +
           "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n" + extraHeaders +
           "Connection: close\r\n\r\n" + body;
}

const std::string kText = "text/plain; charset=utf-8";
const std::string kJson = "application/json";

double wallNow() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string page() {
    QFile file(":/web/page.html");
    file.open(QIODevice::ReadOnly);
    return file.readAll().toStdString();
}

// "/api/runs/12" gives 12; anything else nothing.
std::optional<long long> runId(const std::string& path) {
    const std::string prefix = "/api/runs/";
    if (!path.starts_with(prefix) || path.size() == prefix.size() ||
        path.size() > prefix.size() + 18)
        return std::nullopt;
    long long id = 0;
    const char* first = path.data() + prefix.size();
    const char* last = path.data() + path.size();
    const auto [end, ec] = std::from_chars(first, last, id);
    if (ec != std::errc{} || end != last || *first == '+' || *first == '-') return std::nullopt;
    return id;
}

} // namespace

WebServer::WebServer(PlantView& plant, WebServerOptions options)
    : plant_(plant), options_(std::move(options)), runs_(options_.runStorePath),
      tcp_(new QTcpServer(this)),
      webSockets_(
          new QWebSocketServer(QStringLiteral("q7"), QWebSocketServer::NonSecureMode, this)) {
    registerPage();
    connect(tcp_, &QTcpServer::newConnection, this, &WebServer::accept);
    connect(webSockets_, &QWebSocketServer::newConnection, this, &WebServer::webSocketJoined);
    plant_.setChangeListener(
        [this] { QMetaObject::invokeMethod(this, &WebServer::pushChanges, Qt::QueuedConnection); });
}

WebServer::~WebServer() {
    plant_.setChangeListener({});
}

std::string WebServer::listen() {
    // Changes marked before now would hold back the listener's next call;
    // a client gets the whole state when it joins anyway.
    plant_.takeChanged();
    // Room for a burst of phones opening the page at once.
    tcp_->setListenBacklogSize(128);
    const QHostAddress host(QString::fromStdString(options_.listen.host));
    if (tcp_->listen(host, options_.listen.port)) return "";
    return "cannot listen on " + options_.listen.host + ":" + std::to_string(options_.listen.port) +
           ": " + tcp_->errorString().toStdString();
}

quint16 WebServer::port() const {
    return tcp_->serverPort();
}

void WebServer::accept() {
    while (QTcpSocket* socket = tcp_->nextPendingConnection()) {
        if (connections_ >= options_.maxConnections) {
            // Told, not just cut off, so a browser shows why; not counted.
            socket->write(response(503, kText, "busy\n", "").c_str());
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++connections_;
        // Counted until the socket goes, whether it stayed HTTP or became a
        // WebSocket (which then owns it).
        // (Its context is not `this`, so handing the socket over, which
        // drops this server's own connections to it, keeps the count.)
        connect(socket, &QObject::destroyed, tcp_, [this] { --connections_; });
        // Enough to see a head one byte too long; the rest waits in the kernel.
        socket->setReadBufferSize(qint64(kMaxHeadBytes) + 1);
        Connection& c = http_[socket];
        c.timer = new QTimer(socket);
        c.timer->setSingleShot(true);
        connect(c.timer, &QTimer::timeout, socket, [this, socket] {
            http_.erase(socket);
            socket->abort();
            socket->deleteLater();
        });
        c.timer->start(options_.requestTimeout);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readable(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { finishClose(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            http_.erase(socket);
            socket->deleteLater();
        });
    }
}

void WebServer::readable(QTcpSocket* socket) {
    const auto found = http_.find(socket);
    if (found == http_.end()) return;
    Connection& c = found->second;
    if (c.closing) {
        c.drained += socket->read(socket->bytesAvailable()).size();
        if (c.drained > kMaxDrainBytes) {
            http_.erase(found);
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    // Peeked, not read: a WebSocket's handshake is read again by its server.
    const QByteArray seen = socket->peek(qint64(kMaxHeadBytes) + 1);
    const HeadResult r =
        parseHttpHead(std::string_view(seen.constData(), std::size_t(seen.size())));
    switch (r.status) {
    case HeadStatus::incomplete:
        return;
    case HeadStatus::tooLarge:
    case HeadStatus::tooManyHeaders:
        return answer(socket, 431, kText, "request head too large\n");
    case HeadStatus::malformed:
        return answer(socket, 400, kText, "bad request\n");
    case HeadStatus::complete:
        break;
    }
    if (r.head.method != "GET") return answer(socket, 405, kText, "GET only\n", "Allow: GET\r\n");
    if (r.head.path == "/ws") {
        if (r.head.webSocketUpgrade) return upgrade(socket);
        return answer(socket, 426, kText, "a WebSocket\n", "Upgrade: websocket\r\n");
    }
    route(socket, r.head.path);
}

void WebServer::route(QTcpSocket* socket, const std::string& path) {
    if (path == "/") return answer(socket, 200, "text/html; charset=utf-8", page());
    if (path == "/api/state") return answer(socket, 200, kJson, apiStateJson(plant_.controllers()));
    if (path == "/api/runs") {
        const RunsAnswer runs = runs_.runs();
        return answer(socket, runs.status, kJson, runs.body);
    }
    if (path == "/metrics") {
        MetricsInput in{plant_.lines(), plant_.controllers(), plant_.brokerView(), wallNow()};
        return answer(socket, 200, "text/plain; version=0.0.4; charset=utf-8", metricsText(in));
    }
    if (const auto id = runId(path))
        if (const auto run = runs_.run(*id)) return answer(socket, run->status, kJson, run->body);
    answer(socket, 404, kText, "not found\n");
}

void WebServer::answer(QTcpSocket* socket, int status, const std::string& type,
                       const std::string& body, const std::string& extraHeaders) {
    Connection& c = http_[socket];
    c.closing = true;
    // The head is done with; what is left is read and dropped from now on.
    socket->read(socket->bytesAvailable());
    socket->setReadBufferSize(0);
    const std::string bytes = response(status, type, body, extraHeaders);
    socket->write(bytes.data(), qint64(bytes.size()));
    c.timer->start(options_.requestTimeout);
    finishClose(socket);
}

// Once the answer is out, our side says it is done; the client then
// closes, and what it still sent is read and dropped meanwhile, so the
// kernel has no reason to reset the connection before it read the answer.
void WebServer::finishClose(QTcpSocket* socket) {
    const auto found = http_.find(socket);
    if (found == http_.end() || !found->second.closing || socket->bytesToWrite() > 0) return;
    socket->flush();
    ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
}

void WebServer::upgrade(QTcpSocket* socket) {
    delete http_[socket].timer; // the WebSocket server has a handshake time-out of its own
    http_.erase(socket);
    socket->disconnect(this);
    socket->setReadBufferSize(0);
    webSockets_->handleConnection(socket);
}

void WebServer::webSocketJoined() {
    while (QWebSocket* client = webSockets_->nextPendingConnection()) {
        clients_[client] = 0;
        connect(client, &QWebSocket::bytesWritten, this, [this, client](qint64 n) {
            const auto c = clients_.find(client);
            if (c != clients_.end()) c->second = std::max<qint64>(0, c->second - n);
        });
        connect(client, &QWebSocket::disconnected, this, [this, client] {
            clients_.erase(client);
            client->deleteLater();
        });
        send(client, controllersMessage("controllers", plant_.controllers()));
    }
}

void WebServer::send(QWebSocket* client, const std::string& message) {
    const auto c = clients_.find(client);
    if (c == clients_.end()) return;
    if (c->second + qint64(message.size()) > options_.maxUnsentBytes) {
        // It does not read: dropped, rather than holding its messages.
        clients_.erase(c);
        client->abort();
        client->deleteLater();
        return;
    }
    c->second += client->sendTextMessage(QString::fromStdString(message));
}

void WebServer::pushChanges() {
    const std::vector<ControllerView> changed = plant_.takeChanged();
    if (changed.empty()) return;
    const std::string message = controllersMessage("changed", changed);
    std::vector<QWebSocket*> all;
    for (const auto& [client, unsent] : clients_)
        all.push_back(client);
    for (QWebSocket* client : all)
        send(client, message);
}
