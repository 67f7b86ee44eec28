#pragma once
// One mail, blocking, for the notifier's own thread: a fresh connection to
// the SMTP server, EHLO, STARTTLS when the server offers it (and required
// unless the settings say no), AUTH PLAIN or LOGIN when there is a user,
// then MAIL FROM, RCPT TO, DATA and QUIT. Every reply's code is checked and
// every step has its own time-out; a reply's lines are bounded in length
// and number. What it tells back is the step and the server's reply, never
// the user's password.
#include <string>

struct SmtpServer {
    std::string host; // empty: no server is set
    int port = 25;
    bool starttls = true; // required; false never tries it
    std::string caFile;   // PEM certificates trusted for it beside the system's (a site's own CA)
    std::string user, password;
    std::string from; // the envelope's and the header's sender

    bool operator==(const SmtpServer&) const = default;
};

struct SmtpMail {
    std::string to;
    std::string subject;
    std::string body; // plain text, lines ended by \n
};

struct SmtpSent {
    bool ok = false;
    std::string text; // "250 2.0.0 OK queued", "RCPT TO refused: 550 no such user", "timed out"
};

SmtpSent sendSmtp(const SmtpServer& server, const SmtpMail& mail, double stepTimeoutSeconds);

// "HOST:PORT" or "HOST" (port 25), "[V6]:PORT"; false when it is none.
bool parseSmtpServer(const std::string& text, SmtpServer* server);

// A mail address as a rule names it: one @, a local part and a domain of
// printable characters, no blanks or angle brackets.
bool isMailAddress(const std::string& text);
