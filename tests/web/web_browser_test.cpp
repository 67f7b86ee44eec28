// The page in a real browser: headless Chromium, driven over its DevTools
// protocol, reads the PV the view was fed, sees a new one arrive over the
// WebSocket without a reload, and takes a phone-sized and a desktop-sized
// picture, and a dark phone one (kept in Q7_SCREENSHOT_DIR when it names a
// folder).
#include "support/browser/browser_page.h"
#include "web/web_fixture.h"

#include <QDateTime>
#include <QJsonArray>

namespace {

class WebBrowser : public WebFixture {};

TEST_F(WebBrowser, ThePageShowsThePvAndFollowsItLiveOnPhoneAndDesktop) {
    plant_.state("kiln", 1, kKilnState);
    plant_.available("kiln", 1, true);
    plant_.state(
        "kiln", 2,
        R"({"pv":21.0,"sv":0.0,"mode":"off","unit":"°C","time":"2026-12-09T08:00:00.000+00:00"})");
    plant_.available("kiln", 2, false);
    plant_.state(
        "furnace", 1,
        R"({"pv":876.0,"sv":900.0,"out":100.0,"mode":"on","unit":"°C","time":"2026-12-09T08:00:00.000+00:00"})");
    plant_.available("furnace", 1, true);

    plant_.polled("kiln", 1, true, double(QDateTime::currentMSecsSinceEpoch()) / 1000);
    plant_.linePort("kiln", "/dev/ttyUSB0");
    addOpenRun(dir_.filePath("runs.sqlite").toStdString(), 200);

    std::string why;
    const auto page = BrowserPage::open(url("/"), dir_.path().toStdString(), &why);
    if (!page && why.empty()) GTEST_SKIP() << "chromium is not installed";
    ASSERT_TRUE(page) << why;

    const QString pv = "(document.querySelector('[data-key=\"kiln/1\"] .pv') || {}).firstChild"
                       "?.textContent ?? ''";
    EXPECT_EQ(page->waitFor(pv, "1234.5"), "1234.5");
    // The SV as the controller holds it, to its one decimal, in the unit the
    // bridge names.
    EXPECT_EQ(page->text("[...document.querySelectorAll('[data-key=\"kiln/1\"] .row')]"
                         ".find(r => r.firstChild.textContent === 'SV')?.lastChild.textContent"),
              "1250.0 °C");
    EXPECT_EQ(page->text("document.querySelector('[data-key=\"kiln/2\"] .top .bad')?.textContent"),
              "silent");
    EXPECT_EQ(page->waitFor("document.querySelector('.run .pv')?.textContent ?? ''", "Bisque"),
              "Bisque");
    // The age of the last good reply, not of the state's last change; the
    // run named by the line it drives.
    const auto row = [&](const std::string& card, const std::string& name) {
        return page->text(QString::fromStdString(
            "[...document.querySelectorAll('" + card + " .row')].find(r => "
            "r.firstChild.textContent === '" + name + "')?.lastChild.textContent"));
    };
    EXPECT_TRUE(row("[data-key=\"kiln/1\"]", "last reply").endsWith(" s ago"))
        << row("[data-key=\"kiln/1\"]", "last reply").toStdString();
    EXPECT_EQ(row(".run", "drives"), "kiln id 1");
    page->text("window.notReloaded = 'yes'");

    std::string next = kKilnState;
    next.replace(next.find("1234.5"), 6, "1237.5");
    plant_.state("kiln", 1, next);
    EXPECT_EQ(page->waitFor(pv, "1237.5"), "1237.5");
    EXPECT_EQ(page->text("window.notReloaded"), "yes");

    EXPECT_TRUE(page->screenshot(360, 740, true, "web-phone.png"));
    EXPECT_TRUE(page->screenshot(1280, 800, false, "web-desktop.png"));
    page->call("Emulation.setEmulatedMedia",
               {{"features",
                 QJsonArray{QJsonObject{{"name", "prefers-color-scheme"}, {"value", "dark"}}}}});
    EXPECT_TRUE(page->screenshot(360, 740, true, "web-phone-dark.png"));

    // The server gone, the page says since when it has had no connection;
    // back on its address, the page is live again by itself.
    const quint16 served = view_->port();
    view_.reset();
    EXPECT_EQ(page->waitFor("/^no connection since \\d\\d:\\d\\d$/.test("
                            "document.getElementById('link').textContent)",
                            "true"),
              "true");
    WebServerOptions again;
    again.listen = {"127.0.0.1", served};
    auto restarted = WebView::start(plant_, again);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<WebView>>(restarted));
    view_ = std::move(std::get<std::unique_ptr<WebView>>(restarted));
    EXPECT_EQ(page->waitFor("document.getElementById('link').textContent", "live"), "live");
    EXPECT_EQ(page->waitFor(pv, "1237.5"), "1237.5");
}

} // namespace
