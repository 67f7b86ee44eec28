#include "support/browser/browser_page.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTimer>

#include <chrono>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(60);

// Where the browser's DevTools listen, from the file it writes in its profile.
std::string devToolsPort(const QString& profile) {
    const auto deadline = Clock::now() + kPatience;
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

QByteArray fetch(const std::string& url) {
    QProcess p;
    p.start("curl", {"-s", QString::fromStdString(url)});
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return p.readAllStandardOutput();
}

// The page's own DevTools address, once the browser lists it.
QString pageDebuggerUrl(const std::string& port) {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
        const QByteArray list = fetch("http://127.0.0.1:" + port + "/json/list");
        for (const QJsonValue& v : QJsonDocument::fromJson(list).array())
            if (v.toObject().value("type").toString() == "page")
                return v.toObject().value("webSocketDebuggerUrl").toString();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "";
}

} // namespace

std::unique_ptr<BrowserPage> BrowserPage::open(const std::string& url, const std::string& dir,
                                               std::string* why) {
    const char* chromium = "/usr/bin/chromium";
    if (access(chromium, X_OK) != 0) return nullptr;
    const std::string profile = dir + "/chromium";
    std::unique_ptr<BrowserPage> page(new BrowserPage(std::make_unique<ChildProcess>(
        std::vector<std::string>{chromium, "--headless", "--no-sandbox", "--disable-gpu",
                                 "--remote-debugging-port=0", "--remote-allow-origins=*",
                                 "--user-data-dir=" + profile, url},
        false, dir + "/chromium.log")));
    const std::string port = devToolsPort(QString::fromStdString(profile));
    if (port.empty()) {
        *why = "the browser did not open its DevTools; see " + dir + "/chromium.log";
        return nullptr;
    }
    if (!page->connect(pageDebuggerUrl(port))) {
        *why = "the page's DevTools did not answer";
        return nullptr;
    }
    return page;
}

BrowserPage::~BrowserPage() {
    socket_.close();
    browser_->stop();
}

bool BrowserPage::connect(const QString& debuggerUrl) {
    QEventLoop loop;
    QObject::connect(&socket_, &QWebSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&socket_, &QWebSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket_, &QWebSocket::textMessageReceived, &socket_,
                     [this](const QString& m) {
                         const QJsonObject o = QJsonDocument::fromJson(m.toUtf8()).object();
                         if (o.contains("id")) replies_[o.value("id").toInt()] = o;
                     });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    socket_.open(QUrl(debuggerUrl));
    loop.exec();
    return socket_.state() == QAbstractSocket::ConnectedState;
}

QJsonObject BrowserPage::call(const QString& method, const QJsonObject& params) {
    const int id = ++next_;
    socket_.sendTextMessage(
        QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}})
            .toJson(QJsonDocument::Compact));
    const auto deadline = Clock::now() + kPatience;
    while (!replies_.count(id) && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return replies_.count(id) ? replies_[id].value("result").toObject() : QJsonObject{};
}

QString BrowserPage::text(const QString& expression) {
    return call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}})
        .value("result")
        .toObject()
        .value("value")
        .toVariant()
        .toString();
}

QString BrowserPage::waitFor(const QString& expression, const QString& want) {
    const auto deadline = Clock::now() + kPatience;
    QString got;
    while ((got = text(expression)) != want && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    return got;
}

bool BrowserPage::screenshot(int width, int height, bool mobile, const char* name) {
    call("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", mobile}});
    // Drawn at the new size before the picture is taken.
    text("new Promise(r => requestAnimationFrame(() => requestAnimationFrame(() => r('drawn'))))");
    const QByteArray png = QByteArray::fromBase64(
        call("Page.captureScreenshot", {{"format", "png"}}).value("data").toString().toLatin1());
    if (!png.startsWith("\x89PNG")) return false;
    const char* dir = std::getenv("Q7_SCREENSHOT_DIR");
    if (!dir) return true;
    QDir().mkpath(dir);
    QFile out(QString(dir) + "/" + name);
    return out.open(QIODevice::WriteOnly) && out.write(png) == png.size();
}
