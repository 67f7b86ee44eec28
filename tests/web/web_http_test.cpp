// The web view's HTTP side, asked by curl and by raw sockets: what it
// serves, what it refuses, and that it still answers after clients that
// flood it, stall, send a huge head, or misbehave on a WebSocket.
#include "support/raw_web_socket.h"
#include "web/web_fixture.h"
#include "web/web_users.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QWebSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <thread>

namespace {

class WebHttp : public WebFixture {};

using namespace std::chrono_literals;

// From 127.0.0.`from`: loopback has a whole /8, so one test can be many
// clients' addresses.
int connectTo(quint16 port, int from = 1) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(INADDR_LOOPBACK - 1 + std::uint32_t(from));
    ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Everything the server sends until it closes; "<open>" if it has not
// closed by the deadline.
std::string readToEnd(int fd, std::chrono::steady_clock::time_point deadline) {
    std::string got;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return got; // closed, or reset by a drop
        got.append(buffer, std::size_t(n));
    }
    return "<open>";
}

TEST_F(WebHttp, ServesTheStateAsPublishedAndRefusesAllElse) {
    plant_.state("kiln", 1, kKilnState);
    plant_.available("kiln", 1, true);
    const CurlAnswer state = curl({url("/api/state?ignored=1")});
    EXPECT_EQ(state.status, 200);
    EXPECT_EQ(state.body, "{\"kiln\":{\"1\":{\"available\":true," + kKilnState.substr(1) + "}}");

    EXPECT_EQ(curl({"--path-as-is", url("/../etc/passwd")}).status, 404);
    EXPECT_EQ(curl({"--path-as-is", url("/api/runs/../../etc/passwd")}).status, 404);
    EXPECT_EQ(curl({url("/nothing")}).status, 404);
    EXPECT_EQ(curl({url("/api/runs/7")}).status, 404); // no store, no run
    EXPECT_EQ(curl({url("/api/runs/-1")}).status, 404);
    const CurlAnswer post = curl({"-X", "POST", "-d", "x=1", url("/")});
    EXPECT_EQ(post.status, 405);
    EXPECT_NE(post.head.find("\r\nAllow: GET"), std::string::npos) << post.head;
    const CurlAnswer page = curl({url("/")});
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("new WebSocket("), std::string::npos);

    // A run's chart: at most 2,000 points a series, however long the run.
    const long long run = addOpenRun(dir_.filePath("runs.sqlite").toStdString(), 5000);
    plant_.linePort("kiln", "/dev/ttyUSB0");
    const CurlAnswer runs = curl({url("/api/runs")});
    EXPECT_NE(runs.body.find("\"id\":" + std::to_string(run) + ",\"opened\""), std::string::npos)
        << runs.body;
    // In the run state's words: the zone by its line, the unit bare, the
    // time to go in seconds, the times as local text.
    for (const char* said : {"\"zones\":[{\"id\":1,\"line\":\"kiln\"}]", "\"unit\":\"°C\"",
                             "\"time_to_go\":", "\"opened\":\"2027-01-15T"})
        EXPECT_NE(runs.body.find(said), std::string::npos) << said << " in " << runs.body;
    const CurlAnswer chart = curl({url("/api/runs/" + std::to_string(run))});
    ASSERT_EQ(chart.status, 200);
    const QJsonArray series = QJsonDocument::fromJson(QByteArray::fromStdString(chart.body))
                                  .object()
                                  .value("series")
                                  .toArray();
    ASSERT_EQ(series.size(), 1);
    EXPECT_LE(series[0].toObject().value("pv").toArray().size(), 2000);
    EXPECT_GT(series[0].toObject().value("pv").toArray().size(), 1000);

    // A head of 1 MB: refused, not read into memory. (Decimal: curl itself
    // sends no request of 1 MiB or more.)
    const std::string headers = dir_.filePath("big-header").toStdString();
    std::ofstream(headers) << "X-Big: " << std::string(1'000'000, 'a') << "\n";
    const CurlAnswer big = curl({"-H", "@" + headers, url("/api/state")});
    EXPECT_EQ(big.status, 431) << "curl exit " << big.exit;
    std::string many;
    for (int i = 0; i < 101; ++i)
        many += "X-" + std::to_string(i) + ": 1\n";
    std::ofstream(headers) << many;
    EXPECT_EQ(curl({"-H", "@" + headers, url("/api/state")}).status, 431);
    EXPECT_EQ(curl({url("/api/state")}).status, 200);
}

// 200 clients that connect and send nothing, from 8 addresses: beyond 64
// at once each is told 503 and closed; the others are dropped once their
// time is up. Then the server answers as before.
TEST_F(WebHttp, AFloodOfSilentClientsIsBoundedAndDropped) {
    std::vector<int> fds;
    for (int i = 0; i < 200; ++i) {
        const int fd = connectTo(view_->port(), 1 + i % 8);
        ASSERT_GE(fd, 0);
        fds.push_back(fd);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int busy = 0, dropped = 0;
    for (int fd : fds) {
        const std::string got = readToEnd(fd, deadline);
        if (got.starts_with("HTTP/1.1 503 ")) ++busy;
        if (got.empty()) ++dropped;
        ::close(fd);
    }
    EXPECT_EQ(busy + dropped, 200);
    EXPECT_GE(dropped, 64); // held while there was room, then dropped
    EXPECT_GT(busy, 0);
    EXPECT_EQ(curl({url("/api/state")}).status, 200);
}

// A WebSocket client that stops reading is dropped once what waits for it
// passes the bound, rather than the server holding ever more for it.
TEST_F(WebHttp, AWebSocketClientThatDoesNotReadIsDropped) {
    const int fd = connectTo(view_->port());
    ASSERT_GE(fd, 0);
    const std::string handshake = "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                  "Connection: Upgrade\r\nSec-WebSocket-Key: "
                                  "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
    ASSERT_EQ(::write(fd, handshake.data(), handshake.size()), ssize_t(handshake.size()));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (view_->webSocketClients() != 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(view_->webSocketClients(), 1);
    const std::string filler(256 * 1024, 'x');
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 0; view_->webSocketClients() > 0 && std::chrono::steady_clock::now() < deadline;
         ++i) {
        plant_.state("kiln", 1, "{\"pv\":" + std::to_string(i) + ",\"x\":\"" + filler + "\"}");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(view_->webSocketClients(), 0);
    ::close(fd);
    EXPECT_EQ(curl({url("/api/state")}).status, 200);
}

// The metrics as Prometheus's own check reads them, and the figures in them.
TEST_F(WebHttp, MetricsPassPromtoolAndTellEachLineAndController) {
    LineCounts counts;
    counts.requests = 10;
    counts.good = 8;
    counts.noReplies = 1;
    counts.crcOrShort = 1;
    counts.replies = 9;
    counts.roundTripSumMs = 180;
    counts.roundTripBuckets[2] = 7; // up to 20 ms
    counts.roundTripBuckets[9] = 2; // beyond 2 s
    plant_.lineCounts("kiln", [counts] { return counts; });
    plant_.lineCounts("odd \"line\"\\2", [] { return LineCounts{}; });
    plant_.state("kiln", 1, kKilnState);
    plant_.available("kiln", 1, true);
    plant_.polled("kiln", 1, true, 1.0);
    plant_.state("kiln", 2, R"({"time":"2026-12-09T08:00:00.000+00:00"})");
    plant_.available("kiln", 2, false);
    plant_.broker(true, 3);

    const CurlAnswer m = curl({url("/metrics")});
    ASSERT_EQ(m.status, 200);
    EXPECT_NE(m.head.find("text/plain; version=0.0.4"), std::string::npos);
    for (const char* line : {
             "q7_line_requests_total{line=\"kiln\"} 10\n",
             "q7_line_replies_total{line=\"kiln\"} 8\n",
             "q7_line_no_replies_total{line=\"kiln\"} 1\n",
             "q7_line_round_trip_seconds_bucket{line=\"kiln\",le=\"0.01\"} 0\n",
             "q7_line_round_trip_seconds_bucket{line=\"kiln\",le=\"0.02\"} 7\n",
             "q7_line_round_trip_seconds_bucket{line=\"kiln\",le=\"2\"} 7\n",
             "q7_line_round_trip_seconds_bucket{line=\"kiln\",le=\"+Inf\"} 9\n",
             "q7_line_round_trip_seconds_sum{line=\"kiln\"} 0.18\n",
             "q7_line_requests_total{line=\"odd \\\"line\\\"\\\\2\"} 0\n",
             "q7_controller_pv{line=\"kiln\",id=\"1\"} 1234.5\n",
             "q7_controller_sv{line=\"kiln\",id=\"1\"} 1250\n",
             "q7_controller_out{line=\"kiln\",id=\"1\"} 42\n",
             "q7_controller_answering{line=\"kiln\",id=\"1\"} 1\n",
             "q7_controller_answering{line=\"kiln\",id=\"2\"} 0\n",
             "q7_broker_connected 1\n",
             "q7_broker_dropped_messages_total 3\n",
         })
        EXPECT_NE(m.body.find(line), std::string::npos) << line << m.body;
    // Values not read are absent, never 0; no reply yet, no age.
    EXPECT_EQ(m.body.find("q7_controller_pv{line=\"kiln\",id=\"2\"}"), std::string::npos);
    EXPECT_EQ(m.body.find("seconds_since_reply{line=\"kiln\",id=\"2\"}"), std::string::npos);
    EXPECT_NE(m.body.find("q7_controller_seconds_since_reply{line=\"kiln\",id=\"1\"} "),
              std::string::npos);

    QProcess promtool;
    promtool.start("promtool", {"check", "metrics"});
    if (!promtool.waitForStarted())
        GTEST_SKIP() << "promtool is not installed (Debian: prometheus)";
    promtool.write(m.body.data(), qint64(m.body.size()));
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(60000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAllStandardOutput().toStdString()
                                      << promtool.readAllStandardError().toStdString();

    // A line removed is gone from the metrics, and its source is not asked again.
    plant_.lineCounts("kiln", {});
    EXPECT_EQ(curl({url("/metrics")}).body.find("line=\"kiln\"} 10"), std::string::npos);
}

bool waitForClients(WebView& view, int n) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (view.webSocketClients() != n && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    return view.webSocketClients() == n;
}

// More sessions than there are slots, ended each way a session ends: the
// client's close, the client gone, the connection reset, and dropped by
// the server. Each gives its slot back, so the view still answers.
TEST_F(WebHttp, AWebSocketGivesItsSlotBackHoweverItEnds) {
    for (int i = 0; i < 80; ++i) {
        SCOPED_TRACE(i);
        RawWebSocket ws(view_->port());
        ASSERT_EQ(ws.handshake(hostLine()), 101);
        ASSERT_EQ(ws.receive().opcode, 1); // the controllers, as the page is first told
        switch (i % 4) {
        case 0:
            ASSERT_TRUE(ws.send(RawWebSocket::frame(8, "\x03\xe8")));
            EXPECT_EQ(ws.receive().payload, "\x03\xe8");
            EXPECT_TRUE(ws.closedByPeer());
            break;
        case 1:
            break; // closed as it goes
        case 2:
            ws.reset();
            break;
        case 3:
            ASSERT_TRUE(ws.send(std::string("\x81\x01x", 3))); // unmasked
            EXPECT_TRUE(ws.closedByPeer());
            break;
        }
    }
    EXPECT_TRUE(waitForClients(*view_, 0));
    EXPECT_EQ(curl({url("/metrics")}).status, 200);
    EXPECT_EQ(curl({url("/")}).status, 200);
}

// A frame that announces 64 MiB is refused from its head (1009), before
// the server reads its payload; so is a message gathered from frames past
// its bound; and a client that floods pings and never reads our pongs is
// dropped once they pass the unsent bound.
TEST_F(WebHttp, WebSocketDataPastItsBoundIsRefusedAndAPingFloodDropped) {
    RawWebSocket big(view_->port());
    ASSERT_EQ(big.handshake(hostLine()), 101);
    ASSERT_EQ(big.receive().opcode, 1);
    ASSERT_TRUE(
        big.send(std::string("\x82\xff\x00\x00\x00\x00\x04\x00\x00\x00\x12\x34\x56\x78", 14)));
    const RawWebSocket::Frame refused = big.receive();
    EXPECT_EQ(refused.opcode, 8);
    EXPECT_EQ(refused.payload, "\x03\xf1");
    EXPECT_TRUE(big.closedByPeer());

    RawWebSocket pieces(view_->port());
    ASSERT_EQ(pieces.handshake(hostLine()), 101);
    ASSERT_EQ(pieces.receive().opcode, 1);
    std::string first = RawWebSocket::frame(1, std::string(4000, 'a'));
    first[0] = char(0x01); // not final
    std::string more = RawWebSocket::frame(0, std::string(4000, 'a'));
    more[0] = char(0x00);
    ASSERT_TRUE(pieces.send(first + more + more));
    EXPECT_EQ(pieces.receive().payload, "\x03\xf1");
    EXPECT_TRUE(pieces.closedByPeer());

    RawWebSocket flood(view_->port(), "127.0.0.1", 4096);
    ASSERT_EQ(flood.handshake(hostLine()), 101);
    ASSERT_TRUE(waitForClients(*view_, 1));
    std::string pings;
    for (int i = 0; i < 100; ++i)
        pings += RawWebSocket::frame(9, std::string(125, 'p'));
    // Dropped while it floods, not later for some other reason.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    bool flooding = true;
    while (flooding && view_->webSocketClients() > 0) {
        flooding = flood.send(pings, 10s);
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "still taken";
    }
    EXPECT_TRUE(waitForClients(*view_, 0));
    EXPECT_EQ(curl({url("/api/state")}).status, 200);
}

// A frame a client did not mask breaks the protocol: the server closes
// with 1002.
TEST_F(WebHttp, AnUnmaskedClientFrameClosesTheWebSocket) {
    RawWebSocket ws(view_->port());
    ASSERT_EQ(ws.handshake(hostLine()), 101);
    ASSERT_EQ(ws.receive().opcode, 1);
    ASSERT_TRUE(ws.send(RawWebSocket::frame(1, "hello", false)));
    const RawWebSocket::Frame closed = ws.receive();
    EXPECT_EQ(closed.opcode, 8);
    EXPECT_EQ(closed.payload, "\x03\xea");
    EXPECT_TRUE(ws.closedByPeer());
}

class WebAccessTest : public WebFixture {
  protected:
    WebAccessTest() {
        access_.hosts = {"kiln.example"};
        access_.origins = {"https://plant.example"};
    }
};

// A page of someone else's reads nothing: a Host that is not a name of
// this server (DNS rebinding) is refused on every route, and /ws from a
// foreign Origin too. The view's own names and the configured ones are
// taken; nothing says any origin may read it.
TEST_F(WebAccessTest, ForeignHostsAndOriginsAreRefused) {
    const std::string port = std::to_string(view_->port());
    for (const char* path : {"/", "/api/state", "/api/runs", "/metrics", "/ws"}) {
        const CurlAnswer a = curl({"-H", "Host: evil.example:" + port, url(path)});
        EXPECT_EQ(a.status, 421) << path;
        EXPECT_EQ(a.body, "not served under that name\n");
    }
    for (const std::string& host :
         std::vector<std::string>{"127.0.0.1:" + port, "localhost:" + port, "LOCALHOST.",
                                  "kiln.example", "Kiln.Example:8443"}) {
        const CurlAnswer a = curl({"-H", "Host: " + host, url("/api/state")});
        EXPECT_EQ(a.status, 200) << host;
        EXPECT_EQ(a.head.find("Access-Control-Allow-Origin"), std::string::npos);
    }
    EXPECT_EQ(curl({"-H", "Host: 127.0.0.2:" + port, url("/api/state")}).status, 421);

    const auto opened = [&](const std::string& origin) {
        RawWebSocket ws(view_->port());
        const int status = ws.handshake(hostLine() + "Origin: " + origin + "\r\n");
        EXPECT_EQ(ws.answer().find("Access-Control-Allow-Origin"), std::string::npos) << origin;
        return status;
    };
    EXPECT_EQ(opened("http://evil.example"), 403);
    EXPECT_EQ(opened("null"), 403);
    EXPECT_EQ(opened("http://127.0.0.1:" + port + ".evil.example"), 403);
    EXPECT_EQ(opened("http://127.0.0.1:" + port), 101);
    EXPECT_EQ(opened("https://plant.example"), 101);
}

class WebIdleTest : public WebFixture {
  protected:
    WebIdleTest() { idleTimeout_ = 3000ms; }
};

// A WebSocket that answers our pings stays; one that goes silent is
// dropped. One address takes at most its share of the slots, and the
// others are still served.
TEST_F(WebIdleTest, SilentWebSocketsAreDroppedAndOneAddressHasAShare) {
    RawWebSocket ws(view_->port());
    ASSERT_EQ(ws.handshake(hostLine()), 101);
    ASSERT_EQ(ws.receive().opcode, 1);
    for (int i = 0; i < 2; ++i) {
        const RawWebSocket::Frame ping = ws.receive();
        ASSERT_EQ(ping.opcode, 9);
        ASSERT_TRUE(ws.send(RawWebSocket::frame(10, ping.payload)));
    }
    EXPECT_EQ(view_->webSocketClients(), 1);
    EXPECT_EQ(ws.receive().opcode, 9);
    EXPECT_TRUE(ws.closedByPeer()); // never answered
    EXPECT_TRUE(waitForClients(*view_, 0));

    std::vector<int> held;
    for (int i = 0; i < 16; ++i)
        held.push_back(connectTo(view_->port(), 2));
    const int over = connectTo(view_->port(), 2);
    EXPECT_TRUE(
        readToEnd(over, std::chrono::steady_clock::now() + 30s).starts_with("HTTP/1.1 503 "));
    ::close(over);
    EXPECT_EQ(curl({url("/api/state")}).status, 200);
    for (int fd : held)
        ::close(fd);
}

class WebLoginView : public WebFixture {
  protected:
    WebLoginView() {
        usersFile_ = dir_.filePath("users").toStdString();
        std::ofstream(usersFile_) << "anna:viewer:" << hashPassword("kiln-key-1") << "\n";
        ::chmod(usersFile_.c_str(), 0600);
        viewNeedsLogin_ = true;
    }
};

// Where viewing needs a login, the page alone is served without one; a
// session opens the state and the WebSocket, and logging out closes the
// WebSocket it opened (1008), so a shared screen stops showing the plant.
TEST_F(WebLoginView, ASessionOpensTheViewAndItsEndClosesTheWebSocket) {
    EXPECT_EQ(curl({url("/")}).status, 200);
    EXPECT_EQ(curl({url("/api/state")}).status, 401);
    RawWebSocket stranger(view_->port());
    EXPECT_EQ(stranger.handshake(hostLine()), 401);

    const CurlAnswer in = curl({"-d", "user=anna&password=kiln-key-1", url("/login")});
    ASSERT_EQ(in.status, 200) << in.body;
    const auto at = in.head.find("q7_session=");
    ASSERT_NE(at, std::string::npos) << in.head;
    const std::string cookie = in.head.substr(at, in.head.find(';', at) - at);
    const std::string token = in.body.substr(in.body.find("\"token\":\"") + 9, 64);
    EXPECT_EQ(curl({"-H", "Cookie: " + cookie, url("/api/state")}).status, 200);
    RawWebSocket ws(view_->port());
    ASSERT_EQ(ws.handshake(hostLine() + "Cookie: " + cookie + "\r\n"), 101);
    ASSERT_EQ(ws.receive().opcode, 1);

    EXPECT_EQ(curl({"-X", "POST", "-H", "Cookie: " + cookie, "-H", "X-Q7-Token: " + token,
                    url("/logout")})
                  .status,
              200);
    const RawWebSocket::Frame closed = ws.receive();
    EXPECT_EQ(closed.opcode, 8);
    EXPECT_EQ(closed.payload.substr(0, 2), std::string("\x03\xf0", 2));
    EXPECT_EQ(curl({"-H", "Cookie: " + cookie, url("/api/state")}).status, 401);
}

} // namespace
