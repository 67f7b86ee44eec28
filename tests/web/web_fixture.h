#pragma once
// A web view on loopback fed by the test through its PlantView, as the
// bridge feeds it, and curl (a real client) to ask it.
#include "web/web_view.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

struct CurlAnswer {
    int exit = -1;
    int status = 0; // from the status line
    std::string head, body;
};

// curl -s -i ARGS..., its answer split into head and body.
CurlAnswer curl(const std::vector<std::string>& args);

// An open run of one zone in the store at path, its PV a little behind its
// plan, sampled `samples` times a minute apart; its id.
long long addOpenRun(const std::string& path, int samples);

class WebFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    std::string url(const std::string& path) const;
    // "Host: 127.0.0.1:PORT\r\n", as a browser on url("/") sends it.
    std::string hostLine() const;

    QTemporaryDir dir_;
    PlantView plant_; // outlives the view that reads it
    std::unique_ptr<WebView> view_;
    // Short, so a test sees a slow client dropped; the program's is 10 s.
    std::chrono::milliseconds requestTimeout_{2000};
    std::chrono::milliseconds idleTimeout_{10000};
    qint64 maxUnsentBytes_ = 1 << 20;
    WebAccess access_;
    std::string usersFile_; // none: no one logs in
    bool viewNeedsLogin_ = false;
};

// The states the tests feed, as the bridge publishes them.
inline const std::string kKilnState =
    R"({"pv":1234.5,"sv":1250.0,"out":42.0,"mode":"on","unit":"°C","decimals":1,)"
    R"("alarms":{"alarm1":true,"alarm2":false},"time":"2026-12-09T08:00:00.000+00:00"})";
