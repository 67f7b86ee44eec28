// The ntfy and webhook actions against an HTTP listener of the test's own
// on loopback (tests/alarms/http_listener.py, started and stopped by its
// PID): what each POST carries, the webhook's signature as the listener
// computes it, and a listener that is down: tried again, then a failed
// action, which the rule's next firing tries once more.
#include "alarms/alarm_engine.h"
#include "alarms/sending_engine.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

class Notify : public SendingTest {
  protected:
    Notify() : SendingTest("notify") {}
    // The listener's port.
    int listen(int status = 200) {
        return startListener(Q7_TESTS_DIR "/alarms/http_listener.py",
                             {"s3cret", std::to_string(status)});
    }
    // The POSTs the listener logged, once there are n.
    std::vector<QJsonObject> posts(std::size_t n) { return logged(n); }
    void use(const std::string& actions, NotifyLimits limits = NotifyLimits{}) {
        useRule(actions, limits);
        engine->notifier().setSecrets({"tk_abc", "s3cret", {}});
    }
};

} // namespace

TEST_F(Notify, NtfyAndWebhookPostTheEventWithItsHeadersAndASignatureTheListenerChecks) {
    const std::string base = "http://127.0.0.1:" + std::to_string(listen());
    use("ntfy " + base + "/kiln-1, webhook " + base + "/hook?k=1");
    observe(150, 0);
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].done,
              (std::vector<std::string>{"ntfy " + base + "/kiln-1 queued",
                                        "webhook " + base + "/hook?k=1 queued"}));
    const auto got = posts(2);
    ASSERT_EQ(got.size(), 2u);
    const QJsonObject ntfy = got[0]["path"] == "/kiln-1" ? got[0] : got[1];
    const QJsonObject hook = got[0]["path"] == "/kiln-1" ? got[1] : got[0];
    const QJsonObject head = ntfy["headers"].toObject();
    EXPECT_EQ(head["title"].toString(), "q7: rule hot");
    EXPECT_EQ(head["priority"].toString(), "high");
    EXPECT_EQ(head["tags"].toString(), "q7,warning");
    EXPECT_EQ(head["authorization"].toString(), "Bearer tk_abc");
    EXPECT_EQ(ntfy["body"].toString(), "rule hot on COM1 id 1 (pv 150, sv 100, deviation 50)");

    EXPECT_EQ(hook["path"].toString(), "/hook?k=1");
    EXPECT_EQ(hook["headers"].toObject()["content-type"].toString(), "application/json");
    EXPECT_TRUE(hook["signed"].toBool())
        << hook["headers"].toObject()["x-q7-signature"].toString().toStdString();
    EXPECT_FALSE(hook["headers"].toObject().contains("authorization"));
    const QJsonObject event = QJsonDocument::fromJson(hook["body"].toString().toUtf8()).object();
    EXPECT_EQ(event["kind"].toString(), "alarm");
    EXPECT_EQ(event["rule"].toString(), "hot");
    EXPECT_EQ(event["line"].toString(), "COM1");
    EXPECT_EQ(event["id"].toInt(), 1);
    EXPECT_EQ(event["pv"].toDouble(), 150);
    EXPECT_EQ(event["deviation"].toDouble(), 50);
    // Sent: nothing more is recorded, and nothing waits.
    engine->reap(1.7e9);
    EXPECT_EQ(host.events.size(), 1u);
    EXPECT_EQ(engine->notifier().waiting(), 0u);
    // The secret itself is in no event.
    for (const AlarmEvent& e : host.events)
        EXPECT_EQ(e.text().find("s3cret"), std::string::npos);
}

TEST_F(Notify, AListenerThatIsDownIsTriedAgainThenAFailedActionTheNextFiringRetries) {
    // A port nothing listens on any longer.
    const int port = listen();
    ASSERT_EQ(listener->stop(), 143);
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/hook";
    use("webhook " + url + ", log", {2, 3, 0.01, 4});
    observe(150, 0);
    const AlarmEvent* f = failed();
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->ok);
    EXPECT_EQ(f->done, (std::vector<std::string>{"webhook " + url +
                                                 " failed after 3 tries: connection refused"}));
    EXPECT_EQ(f->text().find("s3cret"), std::string::npos);
    // A minute on, with the condition still true, the webhook alone goes again.
    host.events.clear();
    observe(150, 61);
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].done,
              (std::vector<std::string>{"webhook " + url + " queued (tried again)"}));
}

TEST_F(Notify, AnErrorStatusIsAFailedActionAndTheQueueIsBounded) {
    // A server that answers 500: each send is tried and given up at once,
    // with what the server said.
    const std::string base = "http://127.0.0.1:" + std::to_string(listen(500));
    use("ntfy " + base + "/a", {2, 1, 0, 1});
    observe(150, 0);
    const AlarmEvent* f = failed();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->done, (std::vector<std::string>{"ntfy " + base +
                                                 "/a failed: HTTP 500 Internal Server Error"}));
    // Only so many wait: a send to a port nothing listens on waits a long
    // back-off for its second try, and holds the only place.
    Notifier n({2, 3, 3600, 1});
    const AlarmAction down{AlarmAction::Kind::ntfy, {"http://127.0.0.1:1/t"}, 0};
    EXPECT_TRUE(n.send({"hot", "COM1", 1, 0}, down, Notice{}).ok);
    EXPECT_EQ(n.send({"hot", "COM1", 1, 0}, down, Notice{}).text,
              "not sent: its last one still waits");
    EXPECT_EQ(n.send({"hot", "COM1", 2, 0}, down, Notice{}).text,
              "not sent: the queue of notifications is full");
    EXPECT_EQ(n.waiting(), 1u);
}
