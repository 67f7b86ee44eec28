#include "alarms/http_post.h"

#include "alarms/socket_reason.h"
#include "base/number_text.h"

#include <QElapsedTimer>
#include <QSslSocket>
#include <QTcpSocket>

#include <memory>

namespace {

// The status line's code and words: "HTTP/1.1 403 Forbidden" -> 403, "Forbidden".
bool statusOf(const std::string& head, int* code, std::string* words) {
    const std::string line = head.substr(0, head.find("\r\n"));
    if (line.rfind("HTTP/1.", 0) != 0 || line.size() < 12 || line[8] != ' ') return false;
    const auto n = parseWhole(std::string_view(line).substr(9, 3));
    if (!n || *n < 100 || *n > 599) return false;
    *code = int(*n);
    *words = line.size() > 13 ? line.substr(13) : std::string();
    return true;
}

} // namespace

HttpPosted postHttp(const HttpPost& post, double timeoutSeconds) {
    QElapsedTimer clock;
    clock.start();
    const qint64 limit = qint64(timeoutSeconds * 1000);
    const auto left = [&]() { return int(std::max<qint64>(1, limit - clock.elapsed())); };
    const QString host = QString::fromStdString(post.url.host);
    std::unique_ptr<QTcpSocket> socket;
    if (post.url.tls) {
        if (!QSslSocket::supportsSsl()) return {false, 0, "no TLS here for https"};
        auto tls = std::make_unique<QSslSocket>();
        tls->connectToHostEncrypted(host, quint16(post.url.port));
        if (!tls->waitForEncrypted(left())) {
            const std::string why =
                tls->sslHandshakeErrors().isEmpty()
                    ? socketReason(*tls)
                    : tls->sslHandshakeErrors().first().errorString().toStdString();
            return {false, 0, why};
        }
        socket = std::move(tls);
    } else {
        socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(host, quint16(post.url.port));
        if (!socket->waitForConnected(left())) return {false, 0, socketReason(*socket)};
    }
    const bool v6 = post.url.host.find(':') != std::string::npos;
    const bool defaultPort = post.url.port == (post.url.tls ? 443 : 80);
    std::string request = "POST " + post.url.path +
                          " HTTP/1.1\r\nHost: " + (v6 ? "[" + post.url.host + "]" : post.url.host) +
                          (defaultPort ? "" : ":" + formatWhole(post.url.port)) +
                          "\r\nUser-Agent: q7\r\nContent-Type: " + post.contentType +
                          "\r\nContent-Length: " + formatWhole(long(post.body.size())) +
                          "\r\nConnection: close\r\n";
    for (const auto& [name, value] : post.headers)
        request += name + ": " + value + "\r\n";
    request += "\r\n" + post.body;
    socket->write(request.data(), qint64(request.size()));
    while (socket->bytesToWrite() > 0)
        if (!socket->waitForBytesWritten(left())) return {false, 0, socketReason(*socket)};
    // The status line is all that is judged; a reply's body is not read.
    std::string head;
    while (head.find("\r\n") == std::string::npos && head.size() < 8192) {
        if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(left())) {
            if (clock.elapsed() >= limit) return {false, 0, "timed out"};
            if (head.empty()) return {false, 0, socketReason(*socket)};
            break;
        }
        head += socket->readAll().toStdString();
    }
    socket->abort();
    int code = 0;
    std::string words;
    if (!statusOf(head, &code, &words)) return {false, 0, "no HTTP reply"};
    const std::string text = "HTTP " + formatWhole(code) + (words.empty() ? "" : " " + words);
    return {code >= 200 && code < 300, code, text};
}
