#pragma once
// The ntfy, webhook and email actions: each event posted over HTTP (or
// mailed through the SMTP server) from a thread
// of the notifier's own, so a slow or absent server never holds up the
// line. A send that fails is tried again after a back-off (doubled each
// time), a few times, and is then a failed action; the engine collects the
// outcomes at a later poll without waiting (reap), as it does a command's
// end. At most one send waits per rule, controller and action, and only so
// many in all: one more is not queued, and is a failed action at once.
//
// The ntfy token, the webhook's secret and the mail server's password are
// the host's (the bridge's credentials file); they go onto the wire and
// nowhere else, never into what a send reports.
#include "alarms/alarm_command.h"
#include "alarms/alarm_rules.h"
#include "alarms/http_post.h"
#include "alarms/smtp_send.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

class QCoreApplication;
class QThread;
#include <memory>
#include <string>
#include <vector>

struct NotifyLimits {
    double timeoutSeconds = 10; // one try: connecting, sending and the reply's status
                                // (for a mail, each step of the conversation)
    int tries = 3;
    double backoffSeconds = 5;   // before the second try, doubled before each next
    std::size_t maxWaiting = 32; // sends queued, in flight or waiting to be tried again
};

struct NotifySecrets {
    std::string ntfyToken;     // sent as a bearer token
    std::string webhookSecret; // signs a webhook's body (X-Q7-Signature: sha256=HEX)
    SmtpServer mail;           // where email goes, its sender, user and password

    bool operator==(const NotifySecrets&) const = default;
};

// What a notification tells of an event.
struct Notice {
    std::string title; // "q7: rule runaway"
    std::string text;  // the event's subject
    std::string json;  // the event as a webhook posts it
    bool test = false; // sent by `q7 alarms test`
};

// "sha256=" and the HMAC-SHA256 of body under secret, in lower-case hex.
std::string webhookSignature(const std::string& secret, const std::string& body);

// While one lives there is a Qt application object: Qt's host lookup and
// TLS report to one, and warn on stderr in a headless command, which has
// none otherwise. It makes one only where there is none, and keeps the
// locale the process had, which the application's constructor would
// change to the environment's.
class SendingApplication {
  public:
    SendingApplication();
    ~SendingApplication();
    SendingApplication(const SendingApplication&) = delete;
    SendingApplication& operator=(const SendingApplication&) = delete;

  private:
    std::unique_ptr<QCoreApplication> app_;
};

class Notifier {
  public:
    using Key = CommandRunner::Key;
    explicit Notifier(NotifyLimits limits = NotifyLimits{});
    // What is queued and not yet tried gets its one try; what waits to be
    // tried again is dropped.
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    void setSecrets(NotifySecrets secrets);

    struct Queued {
        bool ok = false;
        std::string text; // "queued", "not sent: its last one still waits", ...
    };
    // action is an ntfy, webhook or email action.
    Queued send(const Key& key, const AlarmAction& action, const Notice& notice);

    struct Sent {
        Key key;
        std::string what; // "ntfy https://ntfy.sh/kiln"
        bool ok = false;
        std::string text; // "sent (HTTP 200)", "failed after 3 tries: connection refused"
    };
    // The sends that ended since (sent, or given up). Never waits.
    std::vector<Sent> reap();
    // Sends queued, in flight or waiting to be tried again.
    std::size_t waiting() const;

  private:
    struct Job {
        Key key;
        std::string what;
        HttpPost post;
        bool mail = false; // sent by SMTP rather than posted
        SmtpServer server; // a copy: the secrets are the caller's thread's
        SmtpMail message;
        int tried = 0;
        std::chrono::steady_clock::time_point due;
    };
    void work();
    bool waits(const Key& key) const; // under mutex_

    const NotifyLimits limits_;
    NotifySecrets secrets_; // the caller's thread only
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::optional<Key> inFlight_;
    std::vector<Sent> ended_;
    bool stopping_ = false;
    // A QThread rather than a bare one: Qt's sockets want the event
    // dispatcher such a thread has, even used blocking.
    std::unique_ptr<QThread> worker_;
};
