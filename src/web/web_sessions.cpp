#include "web/web_sessions.h"

#include <openssl/rand.h>

#include <algorithm>

std::string randomToken() {
    unsigned char bytes[32];
    if (RAND_bytes(bytes, int(sizeof bytes)) != 1) return "";
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

WebSessions::WebSessions(Users users, LoginLimits limits, Clock& clock)
    : users_(std::move(users)), limits_(limits), clock_(clock) {}

std::optional<Clock::TimePoint::duration> WebSessions::locked(const std::string& key,
                                                              Clock::TimePoint now) {
    const auto it = failures_.find(key);
    if (it == failures_.end() || now >= it->second.lockedUntil) return std::nullopt;
    return it->second.lockedUntil - now;
}

void WebSessions::failed(const std::string& key, Clock::TimePoint now) {
    if (failures_.size() >= limits_.maxTracked && !failures_.count(key)) {
        // The one heard from least recently makes room.
        auto oldest = std::min_element(failures_.begin(), failures_.end(), [](auto& a, auto& b) {
            return a.second.last < b.second.last;
        });
        failures_.erase(oldest);
    }
    Failures& f = failures_[key];
    f.last = now;
    if (++f.count < limits_.maxFailures) return;
    auto lockout = limits_.lockout;
    for (int extra = f.count - limits_.maxFailures; extra > 0 && lockout < limits_.maxLockout;
         --extra)
        lockout *= 2;
    f.lockedUntil = now + std::min(lockout, limits_.maxLockout);
}

void WebSessions::forgetOld(Clock::TimePoint now) {
    for (auto it = failures_.begin(); it != failures_.end();)
        if (now >= it->second.lockedUntil && now - it->second.last >= limits_.forgetAfter)
            it = failures_.erase(it);
        else
            ++it;
    for (auto it = sessions_.begin(); it != sessions_.end();)
        if (now >= it->second.expires)
            it = sessions_.erase(it);
        else
            ++it;
}

LoginResult WebSessions::login(const std::string& name, const std::string& password,
                               const std::string& address) {
    const auto now = clock_.now();
    forgetOld(now);
    LoginResult r;
    const std::string byAddress = "address " + address, byUser = "user " + name;
    const auto a = locked(byAddress, now), u = locked(byUser, now);
    if (a || u) {
        const auto wait = std::max(a.value_or(Clock::TimePoint::duration{}),
                                   u.value_or(Clock::TimePoint::duration{}));
        r.status = LoginResult::Status::limited;
        r.retryAfter = std::chrono::ceil<std::chrono::seconds>(wait);
        r.why =
            "too many failed logins; try again in " + std::to_string(r.retryAfter.count()) + " s";
        return r;
    }
    auto users = users_();
    if (std::holds_alternative<std::string>(users)) {
        r.status = LoginResult::Status::unavailable;
        r.why = "no one can log in: the users file does not read";
        return r;
    }
    const WebUser* user = findUser(std::get<WebUsers>(users), name);
    const bool good =
        user && password.size() <= kMaxPassword && verifyPassword(password, user->hash);
    if (!user) spendOneVerify(password);
    if (!good) {
        failed(byAddress, now);
        failed(byUser, now);
        r.status = LoginResult::Status::wrong;
        r.why = "wrong user or password";
        return r;
    }
    failures_.erase(byUser);
    r.id = randomToken();
    r.session = {user->name, user->role, randomToken(), now + limits_.sessionLife};
    if (r.id.empty() || r.session.token.empty()) {
        r.status = LoginResult::Status::unavailable;
        r.why = "the system gives no random bytes";
        return r;
    }
    if (sessions_.size() >= limits_.maxSessions) {
        // The one that ends soonest goes.
        auto first = std::min_element(sessions_.begin(), sessions_.end(), [](auto& x, auto& y) {
            return x.second.expires < y.second.expires;
        });
        sessions_.erase(first);
    }
    sessions_[r.id] = r.session;
    r.status = LoginResult::Status::ok;
    return r;
}

std::optional<WebSession> WebSessions::find(const std::string& id) {
    const auto it = sessions_.find(id);
    if (it == sessions_.end()) return std::nullopt;
    if (clock_.now() >= it->second.expires) {
        sessions_.erase(it);
        return std::nullopt;
    }
    // A user removed, or given another role, is logged out.
    const auto users = users_();
    const WebUser* user = std::holds_alternative<WebUsers>(users)
                              ? findUser(std::get<WebUsers>(users), it->second.user)
                              : nullptr;
    if (!user || user->role != it->second.role) {
        sessions_.erase(it);
        return std::nullopt;
    }
    return it->second;
}

void WebSessions::logout(const std::string& id) {
    sessions_.erase(id);
}
