#pragma once
// One page of a headless Chromium, started by the test on the page's
// address and driven over the browser's DevTools protocol: what a phone on
// the LAN would show, read out of the page's own DOM.
#include "support/child_process.h"

#include <QJsonObject>
#include <QString>
#include <QWebSocket>

#include <map>
#include <memory>
#include <string>

class BrowserPage {
  public:
    // The browser, its profile under dir, showing url; nothing when Chromium
    // is not installed (the test then skips), and *why when it would not
    // come up.
    static std::unique_ptr<BrowserPage> open(const std::string& url, const std::string& dir,
                                             std::string* why);
    ~BrowserPage();

    // The command's result; an empty object when none came.
    QJsonObject call(const QString& method, const QJsonObject& params = {});
    // The expression's value in the page, as text.
    QString text(const QString& expression);
    // Waits until the expression gives want; what it last gave.
    QString waitFor(const QString& expression, const QString& want);
    // A PNG of the page drawn at that size, kept as Q7_SCREENSHOT_DIR/name
    // when that names a folder; false when none came.
    bool screenshot(int width, int height, bool mobile, const char* name);

  private:
    explicit BrowserPage(std::unique_ptr<ChildProcess> browser) : browser_(std::move(browser)) {}
    bool connect(const QString& debuggerUrl);

    std::unique_ptr<ChildProcess> browser_;
    QWebSocket socket_;
    int next_ = 0;
    std::map<int, QJsonObject> replies_;
};
