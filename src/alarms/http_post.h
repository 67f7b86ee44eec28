#pragma once
// One HTTP/1.1 POST, blocking, for the notifier's own thread: a fresh
// connection (TLS for https, the system's certificates verified), the
// request, and the reply's status, all within one time-out. What it tells
// back names the address's host and the reason, never a header's value, so
// a token sent with it stays out of every log.
#include "alarms/http_url.h"

#include <string>
#include <utility>
#include <vector>

struct HttpPost {
    HttpUrl url;
    std::vector<std::pair<std::string, std::string>> headers; // besides Host, length, close
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
};

struct HttpPosted {
    bool ok = false;  // a 2xx status came back
    int status = 0;   // 0 when no reply came
    std::string text; // "HTTP 200", "HTTP 403 Forbidden", "connection refused", "timed out"
};

HttpPosted postHttp(const HttpPost& post, double timeoutSeconds);
