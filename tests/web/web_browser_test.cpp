// The page in a real browser: headless Chromium, driven over its DevTools
// protocol, reads the PV the view was fed, sees a new one arrive over the
// WebSocket without a reload, and takes a phone-sized and a desktop-sized
// picture, and a dark phone one (kept in Q7_SCREENSHOT_DIR when it names a
// folder).
#include "support/child_process.h"
#include "web/web_fixture.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QWebSocket>

#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// One page of the browser, over the DevTools protocol.
class DevTools {
  public:
    bool open(const QString& url) {
        QEventLoop loop;
        QObject::connect(&socket_, &QWebSocket::connected, &loop, &QEventLoop::quit);
        QObject::connect(&socket_, &QWebSocket::disconnected, &loop, &QEventLoop::quit);
        QObject::connect(&socket_, &QWebSocket::textMessageReceived, &socket_,
                         [this](const QString& m) {
                             const QJsonObject o = QJsonDocument::fromJson(m.toUtf8()).object();
                             if (o.contains("id")) replies_[o.value("id").toInt()] = o;
                         });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        socket_.open(QUrl(url));
        loop.exec();
        return socket_.state() == QAbstractSocket::ConnectedState;
    }

    // The command's result; an empty object when none came.
    QJsonObject call(const QString& method, const QJsonObject& params = {}) {
        const int id = ++next_;
        socket_.sendTextMessage(
            QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}})
                .toJson(QJsonDocument::Compact));
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (!replies_.count(id) && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        return replies_.count(id) ? replies_[id].value("result").toObject() : QJsonObject{};
    }

    // The expression's value in the page, as text.
    QString text(const QString& expression) {
        return call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}})
            .value("result")
            .toObject()
            .value("value")
            .toVariant()
            .toString();
    }

    // Waits until the expression gives want; what it last gave.
    QString waitFor(const QString& expression, const QString& want) {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        QString got;
        while ((got = text(expression)) != want && Clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        return got;
    }

  private:
    QWebSocket socket_;
    int next_ = 0;
    std::map<int, QJsonObject> replies_;
};

class WebBrowser : public WebFixture {};

// Where the browser's DevTools listen, from the file it writes in its profile.
std::string devToolsPort(const QString& profile) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        QFile f(profile + "/DevToolsActivePort");
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray first = f.readLine().trimmed();
            if (!first.isEmpty()) return first.toStdString();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "";
}

QString pageDebuggerUrl(const std::string& port) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
        const CurlAnswer list = curl({"http://127.0.0.1:" + port + "/json/list"});
        for (const QJsonValue& v :
             QJsonDocument::fromJson(QByteArray::fromStdString(list.body)).array())
            if (v.toObject().value("type").toString() == "page")
                return v.toObject().value("webSocketDebuggerUrl").toString();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "";
}

void screenshot(DevTools& page, int width, int height, bool mobile, const char* name) {
    page.call("Emulation.setDeviceMetricsOverride",
              {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", mobile}});
    // Drawn at the new size before the picture is taken.
    page.text(
        "new Promise(r => requestAnimationFrame(() => requestAnimationFrame(() => r('drawn'))))");
    const QByteArray png =
        QByteArray::fromBase64(page.call("Page.captureScreenshot", {{"format", "png"}})
                                   .value("data")
                                   .toString()
                                   .toLatin1());
    EXPECT_TRUE(png.startsWith("\x89PNG")) << name;
    const char* dir = std::getenv("Q7_SCREENSHOT_DIR");
    if (!dir) return;
    QDir().mkpath(dir);
    QFile out(QString(dir) + "/" + name);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(png);
}

TEST_F(WebBrowser, ThePageShowsThePvAndFollowsItLiveOnPhoneAndDesktop) {
    plant_.state("kiln", 1, kKilnState);
    plant_.available("kiln", 1, true);
    plant_.state(
        "kiln", 2,
        R"({"pv":21.0,"sv":0.0,"mode":"OFF","unit":"C","time":"2026-12-09T08:00:00.000+00:00"})");
    plant_.available("kiln", 2, false);
    plant_.state(
        "furnace", 1,
        R"({"pv":876.0,"sv":900.0,"out":100.0,"mode":"PID","unit":"C","time":"2026-12-09T08:00:00.000+00:00"})");
    plant_.available("furnace", 1, true);

    addOpenRun(dir_.filePath("runs.sqlite").toStdString(), 200);

    const QString profile = dir_.filePath("chromium");
    ChildProcess browser({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu",
                          "--remote-debugging-port=0", "--remote-allow-origins=*",
                          "--user-data-dir=" + profile.toStdString(), url("/")},
                         false, dir_.filePath("chromium.log").toStdString());
    if (browser.pid() < 0) GTEST_SKIP() << "chromium is not installed";
    const std::string port = devToolsPort(profile);
    ASSERT_FALSE(port.empty()) << "the browser did not open its DevTools";
    DevTools page;
    ASSERT_TRUE(page.open(pageDebuggerUrl(port)));

    const QString pv = "(document.querySelector('[data-key=\"kiln/1\"] .pv') || {}).firstChild"
                       "?.textContent ?? ''";
    EXPECT_EQ(page.waitFor(pv, "1234.5"), "1234.5");
    EXPECT_EQ(page.text("document.querySelector('[data-key=\"kiln/2\"] .top .bad')?.textContent"),
              "silent");
    EXPECT_EQ(page.waitFor("document.querySelector('.run .pv')?.textContent ?? ''", "Bisque"),
              "Bisque");
    page.text("window.notReloaded = 'yes'");

    std::string next = kKilnState;
    next.replace(next.find("1234.5"), 6, "1237.5");
    plant_.state("kiln", 1, next);
    EXPECT_EQ(page.waitFor(pv, "1237.5"), "1237.5");
    EXPECT_EQ(page.text("window.notReloaded"), "yes");

    screenshot(page, 360, 740, true, "web-phone.png");
    screenshot(page, 1280, 800, false, "web-desktop.png");
    page.call("Emulation.setEmulatedMedia",
              {{"features",
                QJsonArray{QJsonObject{{"name", "prefers-color-scheme"}, {"value", "dark"}}}}});
    screenshot(page, 360, 740, true, "web-phone-dark.png");

    // The server gone, the page says since when it has had no connection;
    // back on its address, the page is live again by itself.
    const quint16 served = view_->port();
    view_.reset();
    EXPECT_EQ(page.waitFor("/^no connection since \\d\\d:\\d\\d$/.test("
                           "document.getElementById('link').textContent)",
                           "true"),
              "true");
    WebServerOptions again;
    again.listen = {QHostAddress(QHostAddress::LocalHost), served};
    auto restarted = WebView::start(plant_, again);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<WebView>>(restarted));
    view_ = std::move(std::get<std::unique_ptr<WebView>>(restarted));
    EXPECT_EQ(page.waitFor("document.getElementById('link').textContent", "live"), "live");
    EXPECT_EQ(page.waitFor(pv, "1237.5"), "1237.5");
    browser.stop();
}

} // namespace
