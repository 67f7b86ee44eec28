// What the config's listen address, a request's head and a client's
// WebSocket frame are taken as, at the edges that decide between serving
// and refusing.
#include "web/http_head.h"
#include "web/listen_address.h"
#include "web/web_control.h"
#include "web/ws_frame.h"

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
    // Two Hosts leave it open which one a proxy in between went by.
    EXPECT_EQ(parseHttpHead("GET / HTTP/1.1\r\nHost: a\r\nhost: b\r\n\r\n").status,
              HeadStatus::malformed);

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

// A client's frame is judged from its head alone: what the bounds or the
// protocol refuse is refused before a byte of its payload is read.
TEST(WebParse, AClientFrameIsJudgedFromItsHeadBeforeItsPayload) {
    using S = FrameHead::Status;
    const auto head = [](const char* bytes, std::size_t n) {
        return parseClientFrameHead(std::string_view(bytes, n));
    };
    FrameHead h = head("\x81\x85\x01\x02\x03\x04", 6);
    EXPECT_EQ(h.status, S::complete);
    EXPECT_TRUE(h.fin);
    EXPECT_EQ(h.opcode, 1);
    EXPECT_EQ(h.length, 5u);
    EXPECT_EQ(h.headBytes, 6u);
    EXPECT_EQ(head("\x81\x85\x01\x02\x03", 5).status, S::incomplete);
    EXPECT_EQ(head("\x82\xfe\x10", 3).status, S::incomplete);
    EXPECT_EQ(head("\x82\xfe\x10\x00\x01\x02\x03\x04", 8).length, 4096u);

    const std::pair<std::string, int> refused[] = {
        {std::string("\x81\x05", 2), 1002},                    // not masked
        {std::string("\x82\xfe\x10\x01", 4), 1009},            // 4097 bytes
        {std::string("\x82\xff\0\0\0\0\x04\0\0\0", 10), 1009}, // 64 MiB, no mask yet
        {std::string("\x82\xfe\x00\x7d", 4), 1002},            // 125 in two bytes
        {std::string("\x82\xff\x80\0\0\0\0\0\0\0", 10), 1002}, // the top bit
        {std::string("\x89\xfe\x00\x7e", 4), 1002},            // a ping of 126
        {std::string("\x09\x80", 2), 1002},                    // a ping in pieces
        {std::string("\xc1\x80", 2), 1002},                    // a reserved bit
        {std::string("\x83\x80", 2), 1002},                    // a reserved opcode
    };
    for (const auto& [bytes, code] : refused) {
        h = parseClientFrameHead(bytes);
        EXPECT_EQ(h.status, S::refused) << int(bytes[1]);
        EXPECT_EQ(h.closeCode, code) << int(bytes[1]);
    }

    EXPECT_EQ(serverFrame(wsop::text, "hi"), "\x81\x02hi");
    EXPECT_EQ(serverFrame(wsop::close, closePayload(1009)), "\x88\x02\x03\xf1");
    EXPECT_EQ(serverFrame(wsop::text, std::string(200, 'x')).substr(0, 4),
              std::string("\x81\x7e\x00\xc8", 4));
    EXPECT_EQ(readClosePayload("").answer, 1000);
    EXPECT_EQ(readClosePayload("\x0f\xa0").answer, 4000);
    EXPECT_EQ(readClosePayload("\x03").answer, 1002);
    EXPECT_EQ(readClosePayload("\x03\xed").answer, 1002); // 1005 is never sent
    EXPECT_EQ(readClosePayload("\x03\xe8\xff").answer, 1007);
    EXPECT_TRUE(validUtf8("1250.0 \xc2\xb0"
                          "C \xf0\x9f\x94\xa5"));
    for (const char* wrong : {"\xc0\xaf", "\xed\xa0\x80", "\xe2\x82", "\xf4\x90\x80\x80"})
        EXPECT_FALSE(validUtf8(wrong)) << wrong;
}

} // namespace

// A POST's head, cookie and form as the login and control read them: one
// Content-Length alone, the session cookie among others, a form's value
// decoded or refused, and a control body taken only in its own words.
TEST(WebParse, APostsHeadCookieFormAndControlBody) {
    HeadResult r = parseHttpHead("POST /login HTTP/1.1\r\nHost: a\r\nContent-Length: 27\r\n"
                                 "Content-Type: application/x-www-form-urlencoded; charset=x\r\n"
                                 "Cookie: theme=dark; q7_session=ab12\r\nX-Q7-Token: t0k\r\n\r\n");
    ASSERT_EQ(r.status, HeadStatus::complete);
    EXPECT_EQ(r.head.contentLength, 27u);
    EXPECT_EQ(r.head.contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(cookieValue(r.head.cookie, "q7_session"), "ab12");
    EXPECT_EQ(cookieValue(r.head.cookie, "q7"), "");
    EXPECT_EQ(r.head.token, "t0k");
    for (const char* twice : {"Content-Length: 5\r\nContent-Length: 5\r\n",
                              "Content-Length: 5x\r\n", "Content-Length: -1\r\n"})
        EXPECT_EQ(
            parseHttpHead(std::string("POST / HTTP/1.1\r\nHost: a\r\n") + twice + "\r\n").status,
            HeadStatus::malformed)
            << twice;

    EXPECT_EQ(formValue("user=anna&password=k%C3%A9y+1%26", "password"), "k\xC3\xA9y 1&");
    EXPECT_EQ(formValue("user=anna", "password"), std::nullopt);
    EXPECT_EQ(formValue("password=%4", "password"), std::nullopt);
    EXPECT_EQ(formValue("password=%zz", "password"), std::nullopt);

    const auto c = parseControl("{\"line\":\"furnace\",\"id\":1,\"action\":\"continue\"}");
    ASSERT_TRUE(std::holds_alternative<WebCommand>(c));
    EXPECT_EQ(std::get<WebCommand>(c).verb + "/" + std::get<WebCommand>(c).name, "run/resume");
    const auto sv =
        parseControl("{\"line\":\"furnace\",\"id\":2,\"action\":\"sv\",\"value\":42.5}");
    ASSERT_TRUE(std::holds_alternative<WebCommand>(sv));
    EXPECT_EQ(std::get<WebCommand>(sv).payload, "42.5");
    const std::pair<const char*, const char*> wrong[] = {
        {"[]", "the body is a JSON object"},
        {"{\"line\":\"furnace\",\"id\":1,\"action\":\"stop\",\"user\":\"admin\"}",
         "no key user: line, id, action, program and value"},
        {"{\"line\":\"../x\",\"id\":1,\"action\":\"stop\"}", "line names a line of the bridge"},
        {"{\"line\":\"furnace\",\"id\":1.5,\"action\":\"stop\"}", "id is 1 to 247"},
        {"{\"line\":\"furnace\",\"id\":1,\"action\":\"start\",\"program\":\"../etc\"}",
         "start takes the program by its name in the library"},
        {"{\"line\":\"furnace\",\"id\":1,\"action\":\"out\"}",
         "action is start, pause, continue, stop, skip, extend, target, rate, mark, sv or mode"},
        {"{\"line\":\"furnace\",\"id\":1,\"action\":\"mark\",\"value\":\"a\\nb\"}",
         "mark takes one line of text"},
    };
    for (const auto& [body, why] : wrong) {
        const auto r2 = parseControl(body);
        ASSERT_TRUE(std::holds_alternative<std::string>(r2)) << body;
        EXPECT_EQ(std::get<std::string>(r2), why);
    }
}
