#include "serve/influx_output.h"

#include "web/own_thread.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <future>
#include <optional>

namespace {

// A batch is sent at most this often while the queue is short; a backlog
// (the database back after a gap) goes batch after batch.
constexpr int kBatchEveryMs = 5000;
// Well under what InfluxDB takes in one request.
constexpr std::size_t kBatchPoints = 5000;
constexpr std::size_t kBatchBytes = 1024 * 1024;
constexpr int kInfluxReplyMs = 10000;
// Of a reply's body only the start is kept, for the log; one that runs on
// past the bigger bound is no reply of a database's.
constexpr qint64 kReplyKept = 1024;
constexpr qint64 kReplyBound = 64 * 1024;
// The bridge's stop waits this long at most for what is queued to go.
constexpr auto kFinishWait = std::chrono::seconds(5);
constexpr auto kDroppedEvery = std::chrono::seconds(60);

std::string stdText(const QString& s) {
    return s.toStdString();
}

} // namespace

// On the output's thread: the network access, the batch timer, and what
// the database last said.
class InfluxWriter : public QObject {
  public:
    InfluxWriter(const InfluxConfig& config, PointQueue& queue, InfluxOutput::Log log)
        : url_(QString::fromStdString(config.database.empty()
                                          ? config.url + "/api/v2/write?org=" + config.org +
                                                "&bucket=" + config.bucket + "&precision=ms"
                                          : config.url + "/write?db=" + config.database +
                                                "&precision=ms")),
          shown_(config.url + (config.database.empty() ? ", bucket " + config.bucket
                                                       : ", database " + config.database)),
          queue_(queue), log_(std::move(log)) {
        if (!config.token.empty())
            authorization_ = "Token " + QByteArray::fromStdString(config.token);
        else if (!config.user.empty())
            authorization_ =
                "Basic " +
                QByteArray::fromStdString(config.user + ":" + config.password).toBase64();
    }

    void start() {
        network_ = new QNetworkAccessManager(this);
        timer_ = new QTimer(this);
        QObject::connect(timer_, &QTimer::timeout, this, [this] { send(); });
        timer_->start(kBatchEveryMs);
    }

    // What waits goes now, batch after batch, until the queue is empty or
    // the database fails; then done is told.
    void finish(std::promise<void>* done) {
        done_ = done;
        timer_->stop();
        if (!reply_) send();
    }
    // The stop waited long enough: what is on its way is given up.
    void giveUp() {
        done_ = nullptr;
        givenUp_ = true;
        if (reply_) reply_->abort();
        noteDropped(true);
    }
    std::string totals() const {
        return std::to_string(written_) + " point(s) written, " + std::to_string(refused_) +
               " refused, " + std::to_string(dropped_) + " dropped, " +
               std::to_string(queue_.waiting()) + " not written";
    }

  private:
    void send() {
        noteDropped(false);
        if (reply_) return;
        const std::vector<std::string> batch = queue_.take(kBatchPoints, kBatchBytes);
        if (batch.empty()) return ended();
        QByteArray body;
        for (const std::string& p : batch)
            body.append(p.data(), qsizetype(p.size())).append('\n');
        QNetworkRequest request(url_);
        request.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain; charset=utf-8");
        request.setTransferTimeout(kInfluxReplyMs);
        if (!authorization_.isEmpty()) request.setRawHeader("Authorization", authorization_);
        reply_ = network_->post(request, body);
        reply_->setReadBufferSize(kReplyBound);
        body_.clear();
        got_ = 0;
        tooLong_ = false;
        QObject::connect(reply_, &QNetworkReply::readyRead, this,
                         [this, reply = reply_] { readSome(reply); });
        QObject::connect(reply_, &QNetworkReply::finished, this,
                         [this, n = batch.size()] { answered(n); });
    }

    void readSome(QNetworkReply* reply) {
        const QByteArray chunk = reply->readAll();
        got_ += chunk.size();
        if (body_.size() < kReplyKept) body_.append(chunk.left(kReplyKept - body_.size()));
        if (got_ > kReplyBound && !tooLong_) {
            tooLong_ = true;
            reply->abort();
        }
    }

    void answered(std::size_t n) {
        QNetworkReply* reply = std::exchange(reply_, nullptr);
        reply->deleteLater();
        if (givenUp_) return queue_.done(false);
        if (!tooLong_) readSome(reply);
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 200 && status < 300) {
            const std::size_t waited = queue_.waiting();
            queue_.done(true);
            written_ += n;
            answers(waited);
            // A backlog goes at once, batch after batch.
            if (queue_.waiting() >= kBatchPoints || done_)
                QTimer::singleShot(0, this, [this] { send(); });
            return;
        }
        if (status == 400 || status == 422) {
            // The database read the batch and refused its points (the ones
            // it could read were written): sent again, it would be refused
            // again, and hold up every point behind it.
            const std::size_t waited = queue_.waiting();
            queue_.done(true);
            refused_ += n;
            answers(waited);
            log_("influx: the database refused a batch of " + std::to_string(n) +
                 " point(s), which is dropped: " + reason(status));
            if (done_) QTimer::singleShot(0, this, [this] { send(); });
            return;
        }
        // Away, or not ready for us (no such database yet, a login it
        // wants): the points wait.
        queue_.done(false);
        const std::string why =
            tooLong_ ? "its reply runs on past 64 KiB"
            : status ? reason(status)
            : reply->error() == QNetworkReply::OperationCanceledError
                ? "no reply within " + std::to_string(kInfluxReplyMs / 1000) + " s"
                : stdText(reply->errorString());
        if (why != problem_)
            log_("influx: cannot write to " + shown_ + ": " + why + "; " +
                 std::to_string(queue_.waiting()) + " point(s) wait, the oldest dropped beyond " +
                 std::to_string(bound()));
        problem_ = why;
        writing_ = false;
        ended();
    }

    // "HTTP 404: database not found: \"q7\"": InfluxDB tells why in JSON,
    // 1.x as its error, 2.x as its message.
    std::string reason(int status) const {
        const QJsonObject json = QJsonDocument::fromJson(body_).object();
        QString why = json.value("error").toString();
        if (why.isEmpty()) why = json.value("message").toString();
        if (why.isEmpty()) why = QString::fromUtf8(body_).trimmed().left(200);
        why.replace('\n', ' ');
        return "HTTP " + std::to_string(status) + (why.isEmpty() ? "" : ": " + stdText(why));
    }

    // waited: the points that waited as the batch went, its own among them.
    void answers(std::size_t waited) {
        if (!writing_)
            log_(problem_.empty()
                     ? "influx: writing to " + shown_
                     : "influx: " + shown_ + " answers again; the " + std::to_string(waited) +
                           " point(s) that waited are being written");
        writing_ = true;
        problem_.clear();
    }

    // Told once a minute at most, with the count since last told: a long
    // outage drops points at every poll.
    void noteDropped(bool now) {
        const std::size_t dropped = queue_.takeDropped();
        dropped_ += dropped;
        untold_ += dropped;
        const auto at = std::chrono::steady_clock::now();
        if (!untold_ || (!now && toldDropped_ && at - *toldDropped_ < kDroppedEvery)) return;
        toldDropped_ = at;
        const std::size_t told = std::exchange(untold_, 0);
        log_("influx: " + std::to_string(told) + " point(s) dropped, the oldest: no more than " +
             std::to_string(bound()) + " wait for the database");
    }

    std::size_t bound() const { return queue_.bound(); }

    void ended() {
        if (!done_ || reply_) return;
        noteDropped(true);
        std::exchange(done_, nullptr)->set_value();
    }

    const QUrl url_;
    const std::string shown_;
    QByteArray authorization_; // nothing when the server asks for none
    PointQueue& queue_;
    InfluxOutput::Log log_;
    QNetworkAccessManager* network_ = nullptr;
    QTimer* timer_ = nullptr;
    QNetworkReply* reply_ = nullptr;
    QByteArray body_;
    qint64 got_ = 0;
    bool tooLong_ = false;
    bool givenUp_ = false;
    bool writing_ = false; // the last batch went
    std::string problem_;  // why the last batch did not go, as logged
    std::size_t written_ = 0, refused_ = 0, dropped_ = 0;
    std::size_t untold_ = 0; // dropped and not yet told
    std::optional<std::chrono::steady_clock::time_point> toldDropped_;
    std::promise<void>* done_ = nullptr;
};

InfluxOutput::InfluxOutput(const InfluxConfig& config, Log log, std::size_t bound)
    : log_(log), queue_(bound) {
    app_ = coreApplicationIfNone();
    writer_ = new InfluxWriter(config, queue_, std::move(log));
}

void InfluxOutput::start() {
    thread_.setObjectName("influx");
    writer_->moveToThread(&thread_);
    thread_.start();
    QMetaObject::invokeMethod(
        writer_, [w = writer_] { w->start(); }, Qt::QueuedConnection);
}

InfluxOutput::~InfluxOutput() {
    finish();
}

void InfluxOutput::add(std::string point) {
    if (!point.empty()) queue_.add(std::move(point));
}

void InfluxOutput::finish() {
    if (finished_) return;
    finished_ = true;
    if (!thread_.isRunning()) {
        delete writer_;
        return;
    }
    std::promise<void> done;
    std::future<void> sent = done.get_future();
    QMetaObject::invokeMethod(
        writer_, [w = writer_, &done] { w->finish(&done); }, Qt::QueuedConnection);
    (void)sent.wait_for(kFinishWait);
    std::string totals;
    // Deleted on its own thread, where its sockets live.
    QMetaObject::invokeMethod(
        writer_,
        [this, &totals] {
            writer_->giveUp();
            totals = writer_->totals();
            delete writer_;
        },
        Qt::BlockingQueuedConnection);
    writer_ = nullptr;
    thread_.quit();
    thread_.wait();
    log_("influx: " + totals);
}
