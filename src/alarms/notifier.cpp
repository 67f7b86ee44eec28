#include "alarms/notifier.h"

#include "base/number_text.h"

#include <QCoreApplication>
#include <QThread>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <clocale>
#include <cmath>

namespace {

// A header's value on one line: a control character (a line break in a
// rule's or a line's name cannot come, but a value must never end the head)
// becomes a blank.
std::string headerValue(std::string text) {
    for (char& ch : text)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = ' ';
    return text;
}

} // namespace

std::string webhookSignature(const std::string& secret, const std::string& body) {
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha256(), secret.data(), int(secret.size()),
         reinterpret_cast<const unsigned char*>(body.data()), body.size(), mac, &size);
    static const char digits[] = "0123456789abcdef";
    std::string hex = "sha256=";
    for (unsigned int i = 0; i < size; ++i) {
        hex += digits[mac[i] >> 4];
        hex += digits[mac[i] & 15];
    }
    return hex;
}

SendingApplication::SendingApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "q7";
    static char* argv[] = {name, nullptr};
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    app_ = std::make_unique<QCoreApplication>(argc, argv);
    std::setlocale(LC_ALL, locale.c_str());
}

SendingApplication::~SendingApplication() = default;

Notifier::Notifier(NotifyLimits limits) : limits_(limits) {
    worker_.reset(QThread::create([this] { work(); }));
    worker_->start();
}

Notifier::~Notifier() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_->wait();
}

void Notifier::setSecrets(NotifySecrets secrets) {
    secrets_ = std::move(secrets);
}

bool Notifier::waits(const Key& key) const {
    if (inFlight_ && !(*inFlight_ < key) && !(key < *inFlight_)) return true;
    return std::any_of(jobs_.begin(), jobs_.end(),
                       [&](const Job& j) { return !(j.key < key) && !(key < j.key); });
}

Notifier::Queued Notifier::send(const Key& key, const AlarmAction& action, const Notice& notice) {
    std::string why;
    const std::string address = action.argv.empty() ? std::string() : action.argv[0];
    Job job;
    job.key = key;
    job.what = actionText(action);
    if (action.kind == AlarmAction::Kind::email) {
        if (secrets_.mail.host.empty())
            return {false, "not sent: no mail server (smtp_server = in the credentials file)"};
        if (secrets_.mail.from.empty())
            return {false, "not sent: no sender (smtp_from = in the credentials file)"};
        job.mail = true;
        job.server = secrets_.mail;
        job.message = {address, notice.title, notice.text + "\n"};
    } else if (const auto url = parseHttpUrl(address, &why); !url) {
        return {false, "not sent: " + why};
    } else {
        job.post.url = *url;
    }
    if (job.mail) {
        // The subject and the body are all it carries.
    } else if (action.kind == AlarmAction::Kind::ntfy) {
        job.post.body = notice.text;
        job.post.headers = {{"Title", headerValue(notice.title)},
                            {"Priority", notice.test ? "default" : "high"},
                            {"Tags", notice.test ? "q7,test_tube" : "q7,warning"}};
        if (!secrets_.ntfyToken.empty())
            job.post.headers.emplace_back("Authorization", "Bearer " + secrets_.ntfyToken);
    } else {
        job.post.contentType = "application/json";
        job.post.body = notice.json;
        job.post.headers = {{"X-Q7-Event", notice.test ? "test" : "alarm"}};
        if (!secrets_.webhookSecret.empty())
            job.post.headers.emplace_back("X-Q7-Signature",
                                          webhookSignature(secrets_.webhookSecret, notice.json));
    }
    {
        std::lock_guard lock(mutex_);
        if (waits(key)) return {false, "not sent: its last one still waits"};
        const std::size_t count = jobs_.size() + (inFlight_ ? 1 : 0);
        if (count >= limits_.maxWaiting)
            return {false, "not sent: the queue of notifications is full"};
        job.due = std::chrono::steady_clock::now();
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
    return {true, "queued"};
}

std::vector<Notifier::Sent> Notifier::reap() {
    std::lock_guard lock(mutex_);
    return std::exchange(ended_, {});
}

std::size_t Notifier::waiting() const {
    std::lock_guard lock(mutex_);
    return jobs_.size() + (inFlight_ ? 1 : 0);
}

void Notifier::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_)
            // Once stopping, what was never tried gets its one try; a retry is dropped.
            std::erase_if(jobs_, [](const Job& j) { return j.tried > 0; });
        if (stopping_ && jobs_.empty()) return;
        if (jobs_.empty()) {
            wake_.wait(lock);
            continue;
        }
        const auto next = std::min_element(
            jobs_.begin(), jobs_.end(), [](const Job& a, const Job& b) { return a.due < b.due; });
        if (!stopping_ && next->due > std::chrono::steady_clock::now()) {
            wake_.wait_until(lock, next->due);
            continue;
        }
        Job job = std::move(*next);
        jobs_.erase(next);
        inFlight_ = job.key;
        lock.unlock();
        const auto [ok, text] = [&]() {
            if (job.mail) {
                const SmtpSent s = sendSmtp(job.server, job.message, limits_.timeoutSeconds);
                return std::pair{s.ok, s.text};
            }
            const HttpPosted p = postHttp(job.post, limits_.timeoutSeconds);
            return std::pair{p.ok, p.text};
        }();
        lock.lock();
        inFlight_.reset();
        ++job.tried;
        if (ok) {
            ended_.push_back({job.key, job.what, true, "sent (" + text + ")"});
            continue;
        }
        if (job.tried < limits_.tries && !stopping_) {
            const double wait = limits_.backoffSeconds * std::pow(2.0, job.tried - 1);
            job.due = std::chrono::steady_clock::now() +
                      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                          std::chrono::duration<double>(wait));
            jobs_.push_back(std::move(job));
            continue;
        }
        ended_.push_back({job.key, job.what, false,
                          job.tried == 1
                              ? "failed: " + text
                              : "failed after " + formatWhole(job.tried) + " tries: " + text});
    }
}
