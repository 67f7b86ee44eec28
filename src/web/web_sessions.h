#pragma once
// Who is logged in to the web view: sessions, each named by a random id
// the browser keeps in an HttpOnly cookie, with a token of its own the page
// sends with every change (a page of another site can make the browser send
// the cookie, never read the token), and an expiry.
//
// Failed logins are bounded per address and per user name: past
// maxFailures in a row each is locked out for a while, doubling up to
// maxLockout, before the password is even looked at; a good login clears
// its user's count. Time is the line clock's (base/clock.h), so a test
// runs the limits on a virtual one.
#include "base/clock.h"
#include "web/web_users.h"

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>

struct WebSession {
    std::string user;
    Role role = Role::viewer;
    std::string token;
    Clock::TimePoint expires;
};

struct LoginLimits {
    int maxFailures = 5;
    std::chrono::seconds lockout{60};
    std::chrono::seconds maxLockout{15 * 60};
    // A count not added to for this long is forgotten.
    std::chrono::seconds forgetAfter{15 * 60};
    std::chrono::seconds sessionLife{12 * 3600};
    std::size_t maxSessions = 256;
    std::size_t maxTracked = 4096; // addresses and names counted at once
};

struct LoginResult {
    enum class Status { ok, wrong, limited, unavailable };
    Status status = Status::wrong;
    std::string why;                   // for all but ok
    std::chrono::seconds retryAfter{}; // limited: when to try again
    std::string id;                    // ok: the cookie's value
    WebSession session;                // ok
};

class WebSessions {
  public:
    // users: the users as the file holds them now, or why it cannot be read.
    using Users = std::function<std::variant<WebUsers, std::string>()>;
    explicit WebSessions(Users users, LoginLimits limits = {}, Clock& clock = lineClock());

    LoginResult login(const std::string& name, const std::string& password,
                      const std::string& address);
    // The session the cookie names, while it lasts and its user is still
    // in the file with the same role.
    std::optional<WebSession> find(const std::string& id);
    void logout(const std::string& id);
    std::size_t sessions() const { return sessions_.size(); }

  private:
    struct Failures {
        int count = 0;
        Clock::TimePoint last, lockedUntil;
    };
    // The key's lockout still running, if any.
    std::optional<Clock::TimePoint::duration> locked(const std::string& key, Clock::TimePoint now);
    void failed(const std::string& key, Clock::TimePoint now);
    void forgetOld(Clock::TimePoint now);

    Users users_;
    LoginLimits limits_;
    Clock& clock_;
    std::map<std::string, WebSession> sessions_;
    std::map<std::string, Failures> failures_; // "address 10.0.0.5", "user anna"
};

// 32 random bytes in hex; "" when the system gives none.
std::string randomToken();
