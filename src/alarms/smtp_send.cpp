#include "alarms/smtp_send.h"

#include "alarms/socket_reason.h"
#include "base/number_text.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

#include <algorithm>
#include <vector>

namespace {

// A reply's line is at most 512 bytes by the rules of SMTP; we allow more,
// but never an endless one, nor endless lines.
constexpr std::size_t kMaxReplyLine = 2048;
constexpr int kMaxReplyLines = 64;

struct Reply {
    int code = 0;                   // 0: none came (text says why)
    std::vector<std::string> lines; // each line's text after the code
    std::string text;               // "250 OK", or why no reply came
};

// A reply's text is the server's, on one line and bounded, for the log.
std::string printable(std::string text) {
    for (char& ch : text)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = ' ';
    if (text.size() > 200) text.resize(200);
    return text;
}

QList<QSslCertificate> trustedCertificates(const std::string& path) {
    return QSslCertificate::fromPath(QString::fromStdString(path), QSsl::Pem,
                                     QSslCertificate::PatternSyntax::FixedString);
}

class Session {
  public:
    Session(const SmtpServer& server, double stepTimeoutSeconds)
        : server_(server), step_(int(stepTimeoutSeconds * 1000)) {}

    bool connect(std::string* why) {
        socket_.connectToHost(QString::fromStdString(server_.host), quint16(server_.port));
        if (!socket_.waitForConnected(step_)) {
            *why = socketReason(socket_);
            return false;
        }
        return true;
    }

    // A reply within one time-out, however slowly its bytes come.
    Reply read() {
        Reply r;
        clock_.start();
        for (int n = 0; n < kMaxReplyLines; ++n) {
            std::string line;
            if (!readLine(&line, &r.text)) return r;
            const auto code =
                line.size() >= 3 ? parseWhole(std::string_view(line).substr(0, 3)) : std::nullopt;
            if (!code || *code < 200 || *code > 599 ||
                (line.size() > 3 && line[3] != ' ' && line[3] != '-')) {
                r.text = "no SMTP reply: " + printable(line);
                return r;
            }
            r.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
            if (line.size() == 3 || line[3] == ' ') {
                r.code = int(*code);
                r.text = printable(line);
                return r;
            }
        }
        r.text = "a reply of too many lines";
        return r;
    }

    bool write(const std::string& text, std::string* why) {
        socket_.write(text.data(), qint64(text.size()));
        while (socket_.bytesToWrite() > 0)
            if (!socket_.waitForBytesWritten(step_)) {
                *why = socketReason(socket_);
                return false;
            }
        return true;
    }

    // Sends a command (shown as what in a failure) and wants one of the codes.
    bool step(const std::string& command, const std::string& what, std::initializer_list<int> codes,
              Reply* reply, std::string* why) {
        if (!command.empty() && !write(command + "\r\n", why)) {
            *why = what + ": " + *why;
            return false;
        }
        *reply = read();
        if (reply->code == 0) {
            *why = what + ": " + reply->text;
            return false;
        }
        for (int c : codes)
            if (reply->code == c) return true;
        *why = what + " refused: " + reply->text;
        return false;
    }

    bool startTls(std::string* why) {
        if (!QSslSocket::supportsSsl()) {
            *why = "no TLS here for STARTTLS";
            return false;
        }
        if (!server_.caFile.empty()) {
            const QList<QSslCertificate> own = trustedCertificates(server_.caFile);
            if (own.isEmpty()) {
                *why = "STARTTLS: smtp_ca = " + server_.caFile + " holds no PEM certificate";
                return false;
            }
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.setCaCertificates(tls.caCertificates() + own);
            socket_.setSslConfiguration(tls);
        }
        socket_.startClientEncryption();
        if (!socket_.waitForEncrypted(step_)) {
            *why = "STARTTLS: " +
                   (socket_.sslHandshakeErrors().isEmpty()
                        ? socketReason(socket_)
                        : socket_.sslHandshakeErrors().first().errorString().toStdString());
            return false;
        }
        return true;
    }

    void close() { socket_.abort(); }

  private:
    bool readLine(std::string* line, std::string* why) {
        for (;;) {
            const std::size_t end = buffer_.find("\r\n");
            if (end != std::string::npos) {
                *line = buffer_.substr(0, end);
                buffer_.erase(0, end + 2);
                return true;
            }
            if (buffer_.size() > kMaxReplyLine) {
                *why = "a reply line too long";
                return false;
            }
            const int left = int(std::max<qint64>(1, step_ - clock_.elapsed()));
            if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(left)) {
                *why = clock_.elapsed() >= step_ ? "timed out" : socketReason(socket_);
                return false;
            }
            buffer_ += socket_.read(qint64(kMaxReplyLine + 2)).toStdString();
        }
    }

    const SmtpServer& server_;
    const int step_;
    QSslSocket socket_;
    QElapsedTimer clock_;
    std::string buffer_;
};

bool offers(const Reply& ehlo, const std::string& keyword, std::string* rest = nullptr) {
    for (const std::string& line : ehlo.lines) {
        const QByteArray upper = QByteArray::fromStdString(line).toUpper();
        const QByteArray key = QByteArray::fromStdString(keyword);
        if (upper == key || upper.startsWith(key + ' ') || upper.startsWith(key + '=')) {
            if (rest) *rest = upper.mid(key.size()).toStdString() + " ";
            return true;
        }
    }
    return false;
}

std::string base64(const std::string& text) {
    return QByteArray::fromStdString(text).toBase64().toStdString();
}

// The message: its head, and the body with CRLF line ends, each line that
// begins with a dot given one more.
std::string message(const SmtpServer& server, const SmtpMail& mail) {
    const auto oneLine = [](std::string s) {
        for (char& ch : s)
            if (ch == '\r' || ch == '\n') ch = ' ';
        return s;
    };
    std::string m = "From: " + oneLine(server.from) + "\r\nTo: " + oneLine(mail.to) +
                    "\r\nSubject: " + oneLine(mail.subject) + "\r\nDate: " +
                    QDateTime::currentDateTime().toString(Qt::RFC2822Date).toStdString() +
                    "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8"
                    "\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
    std::size_t from = 0;
    while (from < mail.body.size()) {
        std::size_t end = mail.body.find('\n', from);
        if (end == std::string::npos) end = mail.body.size();
        std::string line = mail.body.substr(from, end - from);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '.') m += '.';
        m += line + "\r\n";
        from = end + 1;
    }
    return m + ".\r\n";
}

} // namespace

SmtpSent sendSmtp(const SmtpServer& server, const SmtpMail& mail, double stepTimeoutSeconds) {
    Session s(server, stepTimeoutSeconds);
    std::string why;
    Reply r;
    if (!s.connect(&why)) return {false, why};
    const auto fail = [&]() {
        s.close();
        return SmtpSent{false, why};
    };
    if (!s.step("", "greeting", {220}, &r, &why)) return fail();
    if (!s.step("EHLO q7", "EHLO", {250}, &r, &why)) return fail();
    if (server.starttls) {
        if (!offers(r, "STARTTLS")) {
            why = "the server offers no STARTTLS (starttls = no allows plain SMTP)";
            return fail();
        }
        if (!s.step("STARTTLS", "STARTTLS", {220}, &r, &why) || !s.startTls(&why)) return fail();
        if (!s.step("EHLO q7", "EHLO", {250}, &r, &why)) return fail();
    }
    if (!server.user.empty()) {
        std::string mechanisms;
        if (!offers(r, "AUTH", &mechanisms)) {
            why = "the server offers no AUTH for smtp_user";
            return fail();
        }
        if (mechanisms.find(" PLAIN ") != std::string::npos) {
            // The password goes only onto the wire; a refusal shows the reply.
            const std::string token =
                base64(std::string(1, '\0') + server.user + '\0' + server.password);
            if (!s.step("AUTH PLAIN " + token, "AUTH", {235}, &r, &why)) return fail();
        } else if (mechanisms.find(" LOGIN ") != std::string::npos) {
            if (!s.step("AUTH LOGIN", "AUTH", {334}, &r, &why) ||
                !s.step(base64(server.user), "AUTH", {334}, &r, &why) ||
                !s.step(base64(server.password), "AUTH", {235}, &r, &why))
                return fail();
        } else {
            why = "the server offers neither AUTH PLAIN nor AUTH LOGIN";
            return fail();
        }
    }
    if (!s.step("MAIL FROM:<" + server.from + ">", "MAIL FROM", {250}, &r, &why) ||
        !s.step("RCPT TO:<" + mail.to + ">", "RCPT TO", {250, 251}, &r, &why) ||
        !s.step("DATA", "DATA", {354}, &r, &why))
        return fail();
    if (!s.write(message(server, mail), &why)) {
        why = "DATA: " + why;
        return fail();
    }
    if (!s.step("", "the message", {250}, &r, &why)) return fail();
    const std::string accepted = r.text;
    // The mail is taken; how the goodbye goes changes nothing.
    s.step("QUIT", "QUIT", {221}, &r, &why);
    s.close();
    return {true, accepted};
}

bool parseSmtpServer(const std::string& text, SmtpServer* server) {
    std::string host = text;
    int port = 25;
    std::size_t colon = std::string::npos;
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string::npos) return false;
        if (close + 1 < host.size()) {
            if (host[close + 1] != ':') return false;
            colon = close + 1;
        }
        host = text.substr(1, close - 1);
    } else if (host.find(':') != host.rfind(':')) {
        return false; // a bare IPv6 address needs its brackets
    } else {
        colon = text.find(':');
        host = text.substr(0, colon);
    }
    if (colon != std::string::npos) {
        const auto n = parseWhole(std::string_view(text).substr(colon + 1));
        if (!n || *n < 1 || *n > 65535) return false;
        port = int(*n);
    }
    if (host.empty()) return false;
    for (char ch : host)
        if (static_cast<unsigned char>(ch) <= 0x20 || ch == '/' || ch == '@') return false;
    server->host = host;
    server->port = port;
    return true;
}

bool isMailAddress(const std::string& text) {
    const std::size_t at = text.find('@');
    if (at == 0 || at == std::string::npos || text.find('@', at + 1) != std::string::npos ||
        at + 1 == text.size() || text.size() > 254)
        return false;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F || ch == '<' || ch == '>' || ch == ',' || ch == '"')
            return false;
    }
    const std::string domain = text.substr(at + 1);
    return domain.front() != '.' && domain.back() != '.' && domain.find("..") == std::string::npos;
}
