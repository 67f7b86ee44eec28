#pragma once
// The web view's server: a small HTTP responder on QTcpServer that answers
// GET only, and WebSockets on /ws, framed here (ws_frame.h) so that every
// byte a client sends meets a bound before it is kept. It lives on its own
// thread (WebView makes it), so a slow client or a large page never holds
// up a line.
//
// Bounds: a request head of at most kMaxHeadBytes and kMaxHeaderLines
// (else 431); at most maxConnections at once counting WebSockets, and
// maxPerAddress from one address (a client beyond either gets 503 and is
// closed), each slot given back however its connection ends; a client
// without a whole head after requestTimeout is dropped; a WebSocket frame
// or message from a client of more than a few KiB closes it (1009) before
// it is read; a WebSocket that has sent nothing for idleTimeout, not even
// the pong to our ping, is dropped; and a WebSocket client that does not
// read (more than maxUnsentBytes waiting, our pongs and close included) is
// dropped rather than buffered.
// A request whose Host is not a name of this server (the listen address,
// loopback names on a loopback connection, the machine's names when
// listening on every address, or WebAccess::hosts) gets 421; /ws from a
// page of another Origin than its own or WebAccess::origins gets 403.
// POST takes a body of at most kMaxBodyBytes with its Content-Length
// (else 411 or 413), only from a page of the view's own Origin (or one
// allowed): /login (a form or JSON; a session cookie, HttpOnly and
// SameSite=Strict, Secure over TLS), /logout, and /api/control, which
// takes a change only with the session's token in X-Q7-Token, from an
// operator or admin, and answers with the line's result. With
// viewNeedsLogin everything but the page and /api/session needs a session.
// With a certificate and key it serves TLS alone (QSslServer); without
// them a change is taken from loopback alone unless controlOverPlainHttp.
// Every answer closes its connection. No path reaches the file system: the
// page is built in, everything else is made from the plant view and the
// run store.
#include "web/listen_address.h"
#include "web/plant_view.h"
#include "web/runs_json.h"
#include "web/web_access.h"
#include "web/web_control.h"
#include "web/web_sessions.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

class QTcpServer;
class QTcpSocket;
class QTimer;
struct FrameHead;
struct HttpHead;
struct HeadResult;

struct WebServerOptions {
    ListenAddress listen;
    std::string runStorePath; // runs.sqlite; the view only reads it
    WebAccess access;
    std::chrono::milliseconds requestTimeout{10000};
    // A WebSocket heard from for half of this is pinged; one that sends
    // nothing for all of it is dropped.
    std::chrono::milliseconds idleTimeout{60000};
    int maxConnections = 64;
    int maxPerAddress = 16;
    qint64 maxUnsentBytes = 1 << 20;
    // The users file: empty, and no one logs in and nothing is changed
    // from the page.
    std::string usersFile;
    bool viewNeedsLogin = false; // [web] view = login: the page alone without one
    // HTTPS and WSS with this certificate and key (PEM); plain HTTP without.
    std::string certificatePem, keyPem;
    bool secure = false; // served over TLS: the cookie is Secure
    // Without TLS a change is taken from loopback alone, unless this is set.
    bool controlOverPlainHttp = false;
    LoginLimits loginLimits;
    // A failed login is answered this much later.
    std::chrono::milliseconds failedLoginDelay{1000};
    // How long a change may wait for its line's answer.
    std::chrono::milliseconds controlTimeout{30000};
    WebCommandSink control; // where changes go; none: refused
};

class WebServer : public QObject {
    Q_OBJECT
  public:
    WebServer(PlantView& plant, WebServerOptions options);
    ~WebServer() override;

    // On the server's thread: starts listening. Why not, else "".
    std::string listen();
    quint16 port() const;
    int webSocketClients() const;

  private:
    struct Connection {
        QTimer* timer = nullptr;
        QString address;        // the peer's, whose share it takes
        bool webSocket = false; // upgraded: frames from now on
        // The session a WebSocket of a view that needs a login was opened
        // with: it is closed when the session ends.
        std::string session;
        // Answered, or our close frame sent: what the client still sends is
        // read and dropped.
        bool closing = false;
        bool pinged = false; // nothing heard since our ping
        qint64 drained = 0;
        int messageOpcode = -1; // of a message still being gathered, else -1
        std::string message;
        // A request taken whose answer is still to come (a line's result,
        // a failed login's delay): what the client sends meanwhile waits.
        bool waiting = false;
        std::uint64_t serial = 0; // of the request waited for
    };
    // The line answers from its own thread, maybe after the server is gone.
    struct ReplyGate {
        std::mutex mutex;
        WebServer* server = nullptr;
    };

    void accept();
    void readable(QTcpSocket* socket);
    void answer(QTcpSocket* socket, int status, const std::string& type, const std::string& body,
                const std::string& extraHeaders = "");
    bool hostAllowed(QTcpSocket* socket, const std::string& host) const;
    void route(QTcpSocket* socket, const HttpHead& head);
    void post(QTcpSocket* socket, const HeadResult& r);
    void login(QTcpSocket* socket, const HttpHead& head, const std::string& body);
    void logout(QTcpSocket* socket, const HttpHead& head);
    void control(QTcpSocket* socket, const HttpHead& head, const std::string& body);
    void controlAnswered(QTcpSocket* socket, std::uint64_t serial, const std::string& json);
    void sessionAnswer(QTcpSocket* socket, const HttpHead& head);
    void usersAnswer(QTcpSocket* socket, const HttpHead& head);
    // The session the request's cookie names, if any (and its id).
    std::optional<WebSession> sessionOf(const HttpHead& head, std::string* id = nullptr);
    std::string cookie(const std::string& value, long maxAge) const;
    void upgrade(QTcpSocket* socket, const HeadResult& r);
    void readFrames(QTcpSocket* socket);
    bool takeFrame(QTcpSocket* socket, const FrameHead& h, const std::string& payload);
    void heard(Connection& c);
    void idle(QTcpSocket* socket);
    bool sendFrame(QTcpSocket* socket, int opcode, const std::string& payload);
    void closeWebSocket(QTcpSocket* socket, int code);
    // Closes the WebSockets opened with a session that has ended.
    void closeEndedSessions();
    void pushChanges();
    void finishClose(QTcpSocket* socket);
    // Ends the connection, whatever its state, and gives its slot back.
    void drop(QTcpSocket* socket);

    PlantView& plant_;
    WebServerOptions options_;
    RunsJson runs_;
    QTcpServer* tcp_;
    std::map<QTcpSocket*, Connection> connections_;
    std::map<QString, int> perAddress_;
    bool listensOnAny_ = false;
    std::set<std::string> machineNames_; // lower case
    std::unique_ptr<UsersFile> users_;
    std::unique_ptr<WebSessions> sessions_;
    std::shared_ptr<ReplyGate> gate_;
    std::uint64_t serials_ = 0;
};
