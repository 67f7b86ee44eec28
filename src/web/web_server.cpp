#include "web/web_server.h"

#include "web/http_head.h"
#include "web/metrics_text.h"
#include "web/state_json.h"
#include "web/ws_frame.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <openssl/crypto.h>
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
// Room for the largest frame a client may send, so a whole one always fits.
constexpr qint64 kWebSocketReadBuffer = 8 * 1024;
static_assert(kWebSocketReadBuffer >= qint64(kMaxFrameHead + kMaxFramePayload));

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 429:
        return "Too Many Requests";
    case 404:
        return "Not Found";
    case 403:
        return "Forbidden";
    case 405:
        return "Method Not Allowed";
    case 421:
        return "Misdirected Request";
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
const std::string kCookie = "q7_session";

// {"ok":false,"reason":"..."}: every refusal of a change or a login says why.
std::string refusal(const std::string& why) {
    QJsonObject o{{"ok", false}, {"reason", QString::fromStdString(why)}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

bool sameToken(const std::string& a, const std::string& b) {
    return !a.empty() && a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

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

// An IPv4 client of a dual-stack socket is still one address.
QString addressOf(const QHostAddress& peer) {
    bool v4 = false;
    const quint32 four = peer.toIPv4Address(&v4);
    return v4 ? QHostAddress(four).toString() : peer.toString();
}

// Sec-WebSocket-Accept for a key: 16 bytes in base64, else "".
QByteArray acceptKey(const std::string& key) {
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(key),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 16) return {};
    const QByteArray salted =
        QByteArray::fromStdString(key) + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    return QCryptographicHash::hash(salted, QCryptographicHash::Sha1).toBase64();
}

} // namespace

WebServer::WebServer(PlantView& plant, WebServerOptions options)
    : plant_(plant), options_(std::move(options)), runs_(options_.runStorePath),
      tcp_(options_.certificatePem.empty() ? new QTcpServer(this) : new QSslServer(this)),
      gate_(std::make_shared<ReplyGate>()) {
    registerPage();
    gate_->server = this;
    if (!options_.usersFile.empty()) {
        users_ = std::make_unique<UsersFile>(options_.usersFile);
        sessions_ = std::make_unique<WebSessions>([u = users_.get()] { return u->current(); },
                                                  options_.loginLimits);
    }
    connect(tcp_, &QTcpServer::newConnection, this, &WebServer::accept);
    // A TLS client is pending once its handshake is done, which may be after
    // newConnection.
    connect(tcp_, &QTcpServer::pendingConnectionAvailable, this, &WebServer::accept);
    plant_.setChangeListener(
        [this] { QMetaObject::invokeMethod(this, &WebServer::pushChanges, Qt::QueuedConnection); });
}

WebServer::~WebServer() {
    {
        std::lock_guard lock(gate_->mutex);
        gate_->server = nullptr;
    }
    plant_.setChangeListener({});
}

std::string WebServer::listen() {
    // Changes marked before now would hold back the listener's next call;
    // a client gets the whole state when it joins anyway.
    plant_.takeChanged();
    // Room for a burst of phones opening the page at once.
    tcp_->setListenBacklogSize(128);
    const QHostAddress host(QString::fromStdString(options_.listen.host));
    // On every address, the page is asked for by the machine's own name too.
    listensOnAny_ = host == QHostAddress::AnyIPv4 || host == QHostAddress::AnyIPv6;
    if (listensOnAny_) {
        const std::string name = QHostInfo::localHostName().toLower().toStdString();
        const std::string shortName = name.substr(0, name.find('.'));
        if (!shortName.empty()) machineNames_ = {name, shortName, shortName + ".local"};
    }
    if (auto* ssl = qobject_cast<QSslServer*>(tcp_)) {
        if (!QSslSocket::supportsSsl()) return "this system's Qt has no TLS";
        const auto chain =
            QSslCertificate::fromData(QByteArray::fromStdString(options_.certificatePem));
        if (chain.isEmpty()) return "the certificate does not read as PEM";
        const QByteArray pem = QByteArray::fromStdString(options_.keyPem);
        QSslKey key(pem, QSsl::Rsa);
        if (key.isNull()) key = QSslKey(pem, QSsl::Ec);
        if (key.isNull())
            return "the key does not read as a PEM RSA or EC key without a passphrase";
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificateChain(chain);
        tls.setPrivateKey(key);
        ssl->setSslConfiguration(tls);
        // A client that never finishes its handshake keeps no place for long.
        ssl->setHandshakeTimeout(int(options_.requestTimeout.count()));
    }
    if (tcp_->listen(host, options_.listen.port)) return "";
    return "cannot listen on " + options_.listen.host + ":" + std::to_string(options_.listen.port) +
           ": " + tcp_->errorString().toStdString();
}

quint16 WebServer::port() const {
    return tcp_->serverPort();
}

void WebServer::accept() {
    while (QTcpSocket* socket = tcp_->nextPendingConnection()) {
        const QString from = addressOf(socket->peerAddress());
        const auto share = perAddress_.find(from);
        const int theirs = share == perAddress_.end() ? 0 : share->second;
        if (int(connections_.size()) >= options_.maxConnections ||
            theirs >= options_.maxPerAddress) {
            // Told, not just cut off, so a browser shows why; not counted,
            // and gone in time even if the client never closes its side.
            socket->write(response(503, kText, "busy\n", "").c_str());
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(options_.requestTimeout, socket, [socket] {
                socket->abort();
                socket->deleteLater();
            });
            continue;
        }
        ++perAddress_[from];
        Connection& c = connections_[socket];
        c.address = from;
        // Enough to see a head one byte too long, or a whole head with the
        // largest body; the rest waits in the kernel.
        socket->setReadBufferSize(qint64(kMaxHeadBytes + kMaxBodyBytes) + 1);
        c.timer = new QTimer(socket);
        c.timer->setSingleShot(true);
        connect(c.timer, &QTimer::timeout, this, [this, socket] { idle(socket); });
        c.timer->start(options_.requestTimeout);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readable(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { finishClose(socket); });
        // However it ends, its slot comes back.
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { drop(socket); });
    }
}

int WebServer::webSocketClients() const {
    int n = 0;
    for (const auto& [socket, c] : connections_)
        n += c.webSocket && !c.closing;
    return n;
}

void WebServer::drop(QTcpSocket* socket) {
    const auto found = connections_.find(socket);
    if (found == connections_.end()) return;
    const auto share = perAddress_.find(found->second.address);
    if (share != perAddress_.end() && --share->second <= 0) perAddress_.erase(share);
    connections_.erase(found);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void WebServer::idle(QTcpSocket* socket) {
    const auto found = connections_.find(socket);
    if (found == connections_.end()) return;
    Connection& c = found->second;
    // A head that never completed, an answer or a close never taken, or
    // no pong to our ping.
    if (!c.webSocket || c.closing || c.pinged) return drop(socket);
    // A session that expired, or whose user was removed, sees no more.
    if (!c.session.empty() && !sessions_->find(c.session))
        return closeWebSocket(socket, wsclose::policy);
    c.pinged = true;
    if (sendFrame(socket, wsop::ping, "")) c.timer->start(options_.idleTimeout / 2);
}

void WebServer::readable(QTcpSocket* socket) {
    const auto found = connections_.find(socket);
    if (found == connections_.end()) return;
    Connection& c = found->second;
    if (c.closing) {
        c.drained += socket->read(socket->bytesAvailable()).size();
        if (c.drained > kMaxDrainBytes) drop(socket);
        return;
    }
    if (c.webSocket) return readFrames(socket);
    if (c.waiting) return;
    // Peeked, not read: the head is taken whole once it is complete.
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
    if (!r.head.hasHost) return answer(socket, 400, kText, "a Host header\n");
    if (!hostAllowed(socket, r.head.host))
        return answer(socket, 421, kText, "not served under that name\n");
    if (r.head.method == "POST") return post(socket, r);
    if (r.head.method != "GET")
        return answer(socket, 405, kText, "GET or POST only\n", "Allow: GET, POST\r\n");
    if (r.head.path == "/ws") {
        if (options_.viewNeedsLogin && !sessionOf(r.head))
            return answer(socket, 401, kText, "log in first\n");
        if (r.head.webSocketUpgrade) return upgrade(socket, r);
        return answer(socket, 426, kText, "a WebSocket\n", "Upgrade: websocket\r\n");
    }
    route(socket, r.head);
}

bool WebServer::hostAllowed(QTcpSocket* socket, const std::string& host) const {
    const std::string name = hostOfHeader(host);
    if (name.empty()) return false;
    const auto& named = options_.access.hosts;
    if (std::find(named.begin(), named.end(), name) != named.end()) return true;
    // An address is ours when it is the one the client reached.
    const QHostAddress local = socket->localAddress();
    const QHostAddress asked(QString::fromStdString(name));
    if (!asked.isNull()) return asked.isEqual(local, QHostAddress::TolerantConversion);
    if (name == "localhost") return local.isLoopback();
    return listensOnAny_ && machineNames_.count(name) > 0;
}

void WebServer::route(QTcpSocket* socket, const HttpHead& head) {
    const std::string& path = head.path;
    if (path == "/") return answer(socket, 200, "text/html; charset=utf-8", page());
    if (path == "/api/session") return sessionAnswer(socket, head);
    if (path == "/api/users") return usersAnswer(socket, head);
    if (path == "/login" || path == "/logout" || path == "/api/control")
        return answer(socket, 405, kText, "POST only\n", "Allow: POST\r\n");
    if (options_.viewNeedsLogin && !sessionOf(head))
        return answer(socket, 401, kJson, refusal("log in first"));
    if (path == "/api/state") return answer(socket, 200, kJson, apiStateJson(plant_.controllers()));
    if (path == "/api/runs") {
        const RunsAnswer runs = runs_.runs(plant_.linePorts());
        return answer(socket, runs.status, kJson, runs.body);
    }
    if (path == "/metrics") {
        MetricsInput in{plant_.lines(), plant_.controllers(), plant_.brokerView(), wallNow()};
        return answer(socket, 200, "text/plain; version=0.0.4; charset=utf-8", metricsText(in));
    }
    if (const auto id = runId(path))
        if (const auto run = runs_.run(*id, plant_.linePorts())) return answer(socket, run->status, kJson, run->body);
    answer(socket, 404, kText, "not found\n");
}

void WebServer::answer(QTcpSocket* socket, int status, const std::string& type,
                       const std::string& body, const std::string& extraHeaders) {
    Connection& c = connections_[socket];
    c.closing = true;
    // The head is done with; what is left is read and dropped from now on.
    socket->read(socket->bytesAvailable());
    socket->setReadBufferSize(0);
    const std::string bytes = response(status, type, body, extraHeaders);
    socket->write(bytes.data(), qint64(bytes.size()));
    c.timer->start(options_.requestTimeout);
    finishClose(socket);
}

// Once the answer (or our close frame) is out, our side says it is done;
// the client then closes, and what it still sent is read and dropped
// meanwhile, so the kernel has no reason to reset the connection before
// it read the answer.
void WebServer::finishClose(QTcpSocket* socket) {
    const auto found = connections_.find(socket);
    if (found == connections_.end() || !found->second.closing || socket->bytesToWrite() > 0) return;
    socket->flush();
    ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
}

void WebServer::upgrade(QTcpSocket* socket, const HeadResult& r) {
    // A page of someone else's would read the plant through its viewer's
    // browser. A client that sends no Origin is no browser, and could send
    // any Origin it liked.
    if (r.head.hasOrigin && !originAllowed(r.head.origin, r.head.host, options_.access.origins))
        return answer(socket, 403, kText, "not for a page from another origin\n");
    if (r.head.webSocketVersion != "13")
        return answer(socket, 426, kText, "WebSocket version 13\n",
                      "Sec-WebSocket-Version: 13\r\n");
    const QByteArray accepted = acceptKey(r.head.webSocketKey);
    if (accepted.isEmpty()) return answer(socket, 400, kText, "bad request\n");
    std::string session;
    if (options_.viewNeedsLogin) sessionOf(r.head, &session);
    Connection& c = connections_[socket];
    c.session = session;
    socket->skip(qint64(r.bytes));
    socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: "
                  "Upgrade\r\nSec-WebSocket-Accept: " +
                  accepted + "\r\n\r\n");
    c.webSocket = true;
    socket->setReadBufferSize(kWebSocketReadBuffer);
    heard(c);
    if (!sendFrame(socket, wsop::text, controllersMessage("controllers", plant_.controllers())))
        return;
    readFrames(socket); // what came with the head
}

void WebServer::heard(Connection& c) {
    c.pinged = false;
    c.timer->start(options_.idleTimeout / 2);
}

void WebServer::readFrames(QTcpSocket* socket) {
    while (true) {
        const auto found = connections_.find(socket);
        if (found == connections_.end() || found->second.closing) return;
        // The head alone is judged first: a frame past its bound is refused
        // before a byte of its payload is read.
        const QByteArray seen = socket->peek(qint64(kMaxFrameHead));
        const FrameHead h =
            parseClientFrameHead(std::string_view(seen.constData(), std::size_t(seen.size())));
        if (h.status == FrameHead::Status::incomplete) return;
        if (h.status == FrameHead::Status::refused) return closeWebSocket(socket, h.closeCode);
        if (socket->bytesAvailable() < qint64(h.headBytes + h.length)) return;
        socket->skip(qint64(h.headBytes));
        std::string payload = socket->read(qint64(h.length)).toStdString();
        unmask(payload, h.mask);
        heard(found->second);
        if (!takeFrame(socket, h, payload)) return;
    }
}

// Whether the connection is still open for more frames.
bool WebServer::takeFrame(QTcpSocket* socket, const FrameHead& h, const std::string& payload) {
    Connection& c = connections_[socket];
    const auto refuse = [&](int code) {
        closeWebSocket(socket, code);
        return false;
    };
    switch (h.opcode) {
    case wsop::ping:
        return sendFrame(socket, wsop::pong, payload);
    case wsop::pong:
        return true;
    case wsop::close:
        return refuse(readClosePayload(payload).answer);
    case wsop::text:
    case wsop::binary:
        if (c.messageOpcode >= 0) return refuse(wsclose::protocolError);
        c.messageOpcode = h.opcode;
        c.message = payload;
        break;
    default: // a continuation
        if (c.messageOpcode < 0) return refuse(wsclose::protocolError);
        if (c.message.size() + payload.size() > kMaxMessageBytes) return refuse(wsclose::tooBig);
        c.message += payload;
        break;
    }
    if (!h.fin) return true;
    // The page only listens: a whole message is checked and let go.
    const bool text = c.messageOpcode == wsop::text;
    c.messageOpcode = -1;
    const std::string message = std::move(c.message);
    c.message.clear();
    if (text && !validUtf8(message)) return refuse(wsclose::notText);
    return true;
}

bool WebServer::sendFrame(QTcpSocket* socket, int opcode, const std::string& payload) {
    const std::string frame = serverFrame(opcode, payload);
    // What waits for the client, our pongs and close included: one that
    // does not read is dropped, rather than holding ever more for it.
    if (socket->bytesToWrite() + qint64(frame.size()) > options_.maxUnsentBytes) {
        drop(socket);
        return false;
    }
    socket->write(frame.data(), qint64(frame.size()));
    return true;
}

void WebServer::closeWebSocket(QTcpSocket* socket, int code) {
    if (!sendFrame(socket, wsop::close, closePayload(code))) return;
    Connection& c = connections_[socket];
    c.closing = true;
    c.message.clear();
    // What is left is dropped from now on; reading it also lets the socket
    // take more, which it stops doing while its buffer is full.
    c.drained += socket->read(socket->bytesAvailable()).size();
    c.timer->start(options_.requestTimeout);
    finishClose(socket);
}

void WebServer::closeEndedSessions() {
    std::vector<QTcpSocket*> ended;
    for (const auto& [socket, c] : connections_)
        if (c.webSocket && !c.closing && !c.session.empty() && !sessions_->find(c.session))
            ended.push_back(socket);
    for (QTcpSocket* socket : ended)
        if (connections_.count(socket)) closeWebSocket(socket, wsclose::policy);
}

void WebServer::pushChanges() {
    const std::vector<ControllerView> changed = plant_.takeChanged();
    if (changed.empty()) return;
    const std::string message = controllersMessage("changed", changed);
    std::vector<QTcpSocket*> all;
    for (const auto& [socket, c] : connections_)
        if (c.webSocket && !c.closing) all.push_back(socket);
    for (QTcpSocket* socket : all)
        if (connections_.count(socket)) sendFrame(socket, wsop::text, message);
}

std::optional<WebSession> WebServer::sessionOf(const HttpHead& head, std::string* id) {
    if (!sessions_) return std::nullopt;
    const std::string value = cookieValue(head.cookie, kCookie);
    if (value.empty()) return std::nullopt;
    if (id) *id = value;
    return sessions_->find(value);
}

std::string WebServer::cookie(const std::string& value, long maxAge) const {
    return "Set-Cookie: " + kCookie + "=" + value + "; Path=/; Max-Age=" + std::to_string(maxAge) +
           "; HttpOnly; SameSite=Strict" + (options_.secure ? "; Secure" : "") + "\r\n";
}

void WebServer::sessionAnswer(QTcpSocket* socket, const HttpHead& head) {
    QJsonObject o{{"users", bool(sessions_)},
                  {"view", options_.viewNeedsLogin ? "login" : "anyone"}};
    if (const auto s = sessionOf(head)) {
        o["user"] = QString::fromStdString(s->user);
        o["role"] = roleName(s->role);
        o["token"] = QString::fromStdString(s->token);
    }
    answer(socket, 200, kJson, QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString());
}

// The users and their roles, for an admin; never a hash.
void WebServer::usersAnswer(QTcpSocket* socket, const HttpHead& head) {
    const auto s = sessionOf(head);
    if (!s) return answer(socket, 401, kJson, refusal("log in first"));
    if (s->role != Role::admin) return answer(socket, 403, kJson, refusal("for an admin alone"));
    const auto users = users_->current();
    if (std::holds_alternative<std::string>(users))
        return answer(socket, 500, kJson, refusal("the users file does not read"));
    QJsonArray list;
    for (const WebUser& u : std::get<WebUsers>(users))
        list.append(
            QJsonObject{{"name", QString::fromStdString(u.name)}, {"role", roleName(u.role)}});
    answer(
        socket, 200, kJson,
        QJsonDocument(QJsonObject{{"users", list}}).toJson(QJsonDocument::Compact).toStdString());
}

void WebServer::post(QTcpSocket* socket, const HeadResult& r) {
    // Without a Content-Length a request has no body; one framed any other
    // way is not taken.
    if (r.head.transferEncoding)
        return answer(socket, 411, kJson, refusal("a body with a Content-Length"));
    const std::size_t length = r.head.contentLength.value_or(0);
    if (length > kMaxBodyBytes)
        return answer(socket, 413, kJson, refusal("the body is over 4 KiB"));
    const qint64 whole = qint64(r.bytes + length);
    if (socket->bytesAvailable() < whole) return; // the rest of the body is to come
    const std::string body = socket->peek(whole).mid(qint64(r.bytes)).toStdString();
    // A page of another site may make the browser post here, cookie and
    // all: only the view's own page, or one allowed, is taken.
    if (r.head.hasOrigin && !originAllowed(r.head.origin, r.head.host, options_.access.origins))
        return answer(socket, 403, kJson, refusal("not for a page from another origin"));
    if (r.head.path == "/login") return login(socket, r.head, body);
    if (r.head.path == "/logout") return logout(socket, r.head);
    if (r.head.path == "/api/control") return control(socket, r.head, body);
    const std::string& p = r.head.path;
    const bool read = p == "/" || p == "/api/state" || p == "/api/runs" || p == "/api/session" ||
                      p == "/api/users" || p == "/metrics" || p == "/ws" || runId(p);
    if (read) return answer(socket, 405, kJson, refusal("GET only"), "Allow: GET\r\n");
    answer(socket, 404, kJson, refusal("not found"));
}

void WebServer::login(QTcpSocket* socket, const HttpHead& head, const std::string& body) {
    if (!sessions_) return answer(socket, 404, kJson, refusal("this view has no users"));
    std::optional<std::string> name, password;
    if (head.contentType == "application/json") {
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
        if (o.value("user").isString()) name = o.value("user").toString().toStdString();
        if (o.value("password").isString()) password = o.value("password").toString().toStdString();
    } else {
        name = formValue(body, "user");
        password = formValue(body, "password");
    }
    if (!name || !password) return answer(socket, 400, kJson, refusal("a user and a password"));
    Connection& c = connections_[socket];
    const LoginResult r = sessions_->login(*name, *password, c.address.toStdString());
    switch (r.status) {
    case LoginResult::Status::ok: {
        QJsonObject o{{"ok", true},
                      {"user", QString::fromStdString(r.session.user)},
                      {"role", roleName(r.session.role)},
                      {"token", QString::fromStdString(r.session.token)}};
        const long life = long(options_.loginLimits.sessionLife.count());
        return answer(socket, 200, kJson,
                      QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString(),
                      cookie(r.id, life));
    }
    case LoginResult::Status::limited:
        return answer(socket, 429, kJson, refusal(r.why),
                      "Retry-After: " + std::to_string(r.retryAfter.count()) + "\r\n");
    case LoginResult::Status::unavailable:
        return answer(socket, 503, kJson, refusal(r.why));
    case LoginResult::Status::wrong:
        break;
    }
    // Told a while later: a guesser gets few tries a second from one connection.
    c.waiting = true;
    const std::uint64_t serial = c.serial = ++serials_;
    const std::string why = r.why;
    QTimer::singleShot(options_.failedLoginDelay, this, [this, socket, serial, why] {
        const auto found = connections_.find(socket);
        if (found == connections_.end() || found->second.serial != serial) return;
        found->second.waiting = false;
        answer(socket, 401, kJson, refusal(why));
    });
}

void WebServer::logout(QTcpSocket* socket, const HttpHead& head) {
    std::string id;
    const auto s = sessionOf(head, &id);
    if (s && !sameToken(head.token, s->token))
        return answer(socket, 403, kJson, refusal("the session's token is missing or wrong"));
    if (s) sessions_->logout(id);
    answer(socket, 200, kJson, "{\"ok\":true}", cookie("", 0));
    if (s) closeEndedSessions();
}

void WebServer::control(QTcpSocket* socket, const HttpHead& head, const std::string& body) {
    // Over plain HTTP a password and a session cross the LAN readable:
    // changes are taken from this PC alone unless the config says otherwise.
    if (!options_.secure && !options_.controlOverPlainHttp &&
        !QHostAddress(connections_[socket].address).isLoopback())
        return answer(socket, 403, kJson,
                      refusal("changes over plain HTTP are taken from this PC alone: give [web] "
                              "a certificate and key, or control_over_plain_http = yes"));
    const auto s = sessionOf(head);
    if (!s) return answer(socket, 401, kJson, refusal("log in first"));
    // The cookie alone is what another site's page could make the browser
    // send; the token is what only our own page can read.
    if (!sameToken(head.token, s->token))
        return answer(socket, 403, kJson,
                      refusal("the session's token is missing or wrong (X-Q7-Token)"));
    if (!mayControl(s->role))
        return answer(socket, 403, kJson, refusal("a viewer may look, not change anything"));
    auto parsed = parseControl(body);
    if (const auto* why = std::get_if<std::string>(&parsed))
        return answer(socket, 400, kJson, refusal("malformed: " + *why));
    WebCommand command = std::get<WebCommand>(std::move(parsed));
    command.user = s->user;
    if (!options_.control) return answer(socket, 503, kJson, refusal("this view takes no changes"));
    const auto all = plant_.controllers();
    if (std::none_of(all.begin(), all.end(), [&](const ControllerView& v) {
            return v.line == command.line && v.id == command.id;
        }))
        return answer(socket, 404, kJson,
                      refusal("no controller " + command.line + "/" + std::to_string(command.id)));
    Connection& c = connections_[socket];
    c.waiting = true;
    const std::uint64_t serial = c.serial = ++serials_;
    c.timer->start(options_.controlTimeout);
    options_.control(std::move(command), [gate = gate_, socket, serial](const std::string& json) {
        std::lock_guard lock(gate->mutex);
        if (!gate->server) return;
        WebServer* server = gate->server;
        QMetaObject::invokeMethod(
            server,
            [server, socket, serial, json] { server->controlAnswered(socket, serial, json); },
            Qt::QueuedConnection);
    });
}

void WebServer::controlAnswered(QTcpSocket* socket, std::uint64_t serial, const std::string& json) {
    const auto found = connections_.find(socket);
    if (found == connections_.end() || found->second.serial != serial || !found->second.waiting)
        return;
    found->second.waiting = false;
    answer(socket, 200, kJson, json);
}
