// The email action against a real SMTP server on loopback
// (tests/alarms/smtp_listener.py, aiosmtpd, started and stopped by its
// PID): a message arrives with its subject, recipient and body; a server
// that is down is tried again and then a failed action; a refusal is a
// failed action with the server's reply.
#include "alarms/alarm_engine.h"
#include "alarms/notify_secrets.h"
#include "alarms/sending_engine.h"
#include "support/child_process.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

class Email : public SendingTest {
  protected:
    Email() : SendingTest("email") {}
    // The server's port.
    int serve(const std::vector<std::string>& modes = {}) {
        return startListener(Q7_TESTS_DIR "/alarms/smtp_listener.py", modes);
    }
    // The messages the server took, once there are n.
    std::vector<QJsonObject> mails(std::size_t n) { return logged(n); }
    void use(int port, const std::string& credentials, NotifyLimits limits = NotifyLimits{}) {
        useRule("email ops@example.com, log", limits);
        std::string why;
        engine->notifier().setSecrets(
            notifySecretsOf("kiln:pw\nsmtp_server = 127.0.0.1:" + std::to_string(port) +
                                "\nsmtp_from = kiln@example.com\n" + credentials,
                            &why));
        ASSERT_EQ(why, "");
    }
};

} // namespace

TEST_F(Email, AMessageArrivesWithItsSubjectRecipientAndBodyAndADotLineIntact) {
    const int port = serve();
    use(port, "smtp_starttls = no\n");
    observe(150, 0);
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].done[0], "email ops@example.com queued");
    auto got = mails(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]["from"].toString(), "kiln@example.com");
    EXPECT_EQ(got[0]["to"].toArray().size(), 1);
    EXPECT_EQ(got[0]["to"].toArray()[0].toString(), "ops@example.com");
    const std::string m = got[0]["message"].toString().toStdString();
    EXPECT_NE(m.find("Subject: q7: rule hot\r\n"), std::string::npos) << m;
    EXPECT_NE(m.find("To: ops@example.com\r\n"), std::string::npos) << m;
    EXPECT_NE(m.find("\r\n\r\nrule hot on COM1 id 1 (pv 150, sv 100, deviation 50)\r\n"),
              std::string::npos)
        << m;
    // A line of the body that begins with a dot arrives as it was, and one
    // that is a dot alone does not end the message early.
    SmtpServer plain;
    ASSERT_TRUE(parseSmtpServer("127.0.0.1:" + std::to_string(port), &plain));
    plain.starttls = false;
    plain.from = "kiln@example.com";
    const SmtpSent s = sendSmtp(plain, {"ops@example.com", "s", ".hidden\n.\nlast\n"}, 10);
    EXPECT_TRUE(s.ok) << s.text;
    EXPECT_EQ(s.text, "250 2.0.0 taken");
    got = mails(2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NE(got[1]["message"].toString().toStdString().find("\r\n\r\n.hidden\r\n.\r\nlast\r\n"),
              std::string::npos)
        << got[1]["message"].toString().toStdString();
}

TEST_F(Email, AServerThatIsDownIsTriedAgainThenAFailedActionTheNextFiringRetries) {
    const int port = serve();
    ASSERT_GE(listener->stop(), 0);
    use(port, "smtp_starttls = no\n", {2, 3, 0.01, 4});
    observe(150, 0);
    const AlarmEvent* f = failed();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->done, (std::vector<std::string>{
                           "email ops@example.com failed after 3 tries: connection refused"}));
    host.events.clear();
    observe(150, 61);
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].done,
              (std::vector<std::string>{"email ops@example.com queued (tried again)"}));
}

// A server that speaks TLS: its certificate is of the site's own making,
// trusted only through smtp_ca; without it the handshake fails and nothing,
// the password least of all, goes out in the clear.
TEST_F(Email, StartTlsIsTrustedThroughTheSitesCertificateOnlyAndLogsInOverIt) {
    const std::string cert = (dir / "cert.pem").string(), key = (dir / "key.pem").string();
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
                           " -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                           key + "' -out '" + cert + "' 2>/dev/null")
                              .c_str()),
              0);
    const int port = serve({"tls=" + cert + ":" + key, "auth=kiln:pa55word"});
    SmtpServer s;
    ASSERT_TRUE(parseSmtpServer("127.0.0.1:" + std::to_string(port), &s));
    s.from = "kiln@example.com";
    s.user = "kiln";
    s.password = "pa55word";
    const SmtpSent untrusted = sendSmtp(s, {"ops@example.com", "s", "b"}, 10);
    EXPECT_FALSE(untrusted.ok);
    EXPECT_EQ(untrusted.text, "STARTTLS: The certificate is self-signed, and untrusted");
    s.caFile = (dir / "none.pem").string();
    EXPECT_EQ(sendSmtp(s, {"ops@example.com", "s", "b"}, 10).text,
              "STARTTLS: smtp_ca = " + s.caFile + " holds no PEM certificate");
    EXPECT_TRUE(logged(0).empty());

    use(port, "smtp_user = kiln\nsmtp_password = pa55word\nsmtp_ca = " + cert + "\n");
    observe(150, 0);
    const auto got = mails(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]["to"].toArray()[0].toString(), "ops@example.com");
}

TEST_F(Email, ARefusalIsAFailedActionWithTheServersReplyAndNeverThePassword) {
    // A server that takes mail only after AUTH, and then refuses the
    // recipient: the login worked, and the refusal is told with its reply.
    const int port = serve({"refuse-rcpt", "auth=kiln:pa55word"});
    use(port, "smtp_starttls = no\nsmtp_user = kiln\nsmtp_password = pa55word\n", {10, 1, 0, 4});
    observe(150, 0);
    const AlarmEvent* f = failed();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->done, (std::vector<std::string>{
                           "email ops@example.com failed: RCPT TO refused: 550 5.1.1 no such "
                           "mailbox here"}));
    EXPECT_EQ(f->text().find("pa55word"), std::string::npos);
    // A wrong password is refused at AUTH, and shows nowhere; STARTTLS is
    // wanted unless the file says no, and this server has none.
    SmtpServer s;
    ASSERT_TRUE(parseSmtpServer("127.0.0.1:" + std::to_string(port), &s));
    s.from = "kiln@example.com";
    s.user = "kiln";
    s.password = "wrong-one";
    EXPECT_EQ(sendSmtp(s, {"ops@example.com", "s", "b"}, 10).text,
              "the server offers no STARTTLS (starttls = no allows plain SMTP)");
    s.starttls = false;
    const SmtpSent a = sendSmtp(s, {"ops@example.com", "s", "b"}, 10);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.text.rfind("AUTH refused: 535", 0), 0u) << a.text;
    EXPECT_EQ(a.text.find("wrong-one"), std::string::npos);
    // The rules reader and the credentials file say what is wrong.
    const auto bad =
        parseAlarmRules("[rule hot]\nwhen = pv > 100\ndo = email ops at example\n", "t.conf");
    ASSERT_TRUE(std::holds_alternative<std::string>(bad));
    EXPECT_NE(std::get<std::string>(bad).find("email takes one mail address"), std::string::npos)
        << std::get<std::string>(bad);
    std::string why;
    notifySecretsOf("smtp_server = mail:99999\n", &why);
    EXPECT_EQ(why, "smtp_server = takes HOST:PORT, not 'mail:99999'");
    notifySecretsOf("smtp_from = kiln\n", &why);
    EXPECT_EQ(why, "smtp_from = takes a mail address, not 'kiln'");
}
