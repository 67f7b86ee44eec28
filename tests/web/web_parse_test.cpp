// What the config's listen address and a request's head are taken as, at
// the edges that decide between serving and refusing.
#include "web/http_head.h"
#include "web/listen_address.h"

#include <gtest/gtest.h>

namespace {

TEST(WebParse, ListenAddressesTakeAnIpAndAPortAndSayWhatIsWrong) {
    const auto v4 = parseListenAddress("0.0.0.0:8080");
    ASSERT_TRUE(std::holds_alternative<ListenAddress>(v4));
    EXPECT_EQ(std::get<ListenAddress>(v4).host, "0.0.0.0");
    EXPECT_EQ(std::get<ListenAddress>(v4).port, 8080);
    const auto v6 = parseListenAddress("[::1]:65535");
    ASSERT_TRUE(std::holds_alternative<ListenAddress>(v6));
    EXPECT_EQ(std::get<ListenAddress>(v6).host, "::1");
    EXPECT_EQ(std::get<ListenAddress>(v6).port, 65535);

    const std::pair<const char*, const char*> wrong[] = {
        {"8080", "\"8080\" has no :PORT"},
        {"127.0.0.1:0", "\"127.0.0.1:0\": the port is a number from 1 to 65535"},
        {"127.0.0.1:65536", "\"127.0.0.1:65536\": the port is a number from 1 to 65535"},
        {"127.0.0.1:80x", "\"127.0.0.1:80x\": the port is a number from 1 to 65535"},
        {"kiln.local:80", "\"kiln.local:80\": \"kiln.local\" is not an IP address"},
        {"::1:80", "\"::1:80\" is not ADDRESS:PORT (an IPv6 address goes in [ ])"},
        {"[::1]80", "\"[::1]80\" is not [IPv6 ADDRESS]:PORT"},
        {"[127.0.0.1]:80", "\"[127.0.0.1]:80\": an IPv6 address goes in [ ], an IPv4 one does not"},
    };
    for (const auto& [text, why] : wrong) {
        const auto r = parseListenAddress(text);
        ASSERT_TRUE(std::holds_alternative<std::string>(r)) << text;
        EXPECT_EQ(std::get<std::string>(r), why);
    }
}

TEST(WebParse, AHeadIsTakenWithinItsBoundsAndNotPastThem) {
    const std::string get = "GET /api/runs/3?x=1 HTTP/1.1\r\nHost: a\r\n\r\n";
    HeadResult r = parseHttpHead(get);
    EXPECT_EQ(r.status, HeadStatus::complete);
    EXPECT_EQ(r.head.method, "GET");
    EXPECT_EQ(r.head.path, "/api/runs/3");
    EXPECT_FALSE(r.head.webSocketUpgrade);
    EXPECT_EQ(parseHttpHead(get.substr(0, get.size() - 1)).status, HeadStatus::incomplete);

    r = parseHttpHead(
        "GET /ws HTTP/1.1\r\nUPGRADE: WebSocket\r\nConnection: keep-alive, Upgrade\r\n\r\n");
    EXPECT_TRUE(r.head.webSocketUpgrade);
    EXPECT_EQ(parseHttpHead("GET http://a/ HTTP/1.1\r\n\r\n").status, HeadStatus::malformed);
    EXPECT_EQ(parseHttpHead("GET / HTTP/1.1\r\nno colon\r\n\r\n").status, HeadStatus::malformed);

    // A head that ends on the last byte allowed is taken; one byte more is not.
    const std::string start = "GET / HTTP/1.1\r\nX: ";
    std::string full = start + std::string(kMaxHeadBytes - start.size() - 4, 'a') + "\r\n\r\n";
    ASSERT_EQ(full.size(), kMaxHeadBytes);
    EXPECT_EQ(parseHttpHead(full).status, HeadStatus::complete);
    full.insert(start.size(), "a");
    EXPECT_EQ(parseHttpHead(full).status, HeadStatus::tooLarge);

    std::string headers = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < kMaxHeaderLines; ++i)
        headers += "X: 1\r\n";
    EXPECT_EQ(parseHttpHead(headers + "\r\n").status, HeadStatus::complete);
    EXPECT_EQ(parseHttpHead(headers + "X: 1\r\n").status, HeadStatus::tooManyHeaders);
}

} // namespace
