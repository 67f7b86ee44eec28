// The config file and the credentials file it names, as they stand on disk.
#include "serve/serve_config.h"

#include "alarms/notify_secrets.h"

#include "base/atomic_file.h"
#include "base/secret_file.h"
#include "serial/net_endpoint.h"
#include "serial/port_discovery.h"
#include "web/web_users.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMaxConfig = 64 * 1024;
constexpr std::size_t kMaxCredentials = 4096;
constexpr std::size_t kMaxPem = 64 * 1024; // a certificate with its chain, or a key

// The first line of a file only its owner can read.
std::string readSecretLine(const std::string& path, std::string* text) {
    if (std::string why = readOwnerOnlyFile(path, "credentials file", text, kMaxCredentials);
        !why.empty())
        return why;
    *text = text->substr(0, text->find('\n'));
    if (!text->empty() && text->back() == '\r') text->pop_back();
    return "";
}

// "user:password"
std::string readUserPassword(const std::string& path, std::string* user, std::string* password) {
    std::string text;
    if (std::string why = readSecretLine(path, &text); !why.empty()) return why;
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0)
        return "the credentials file " + path + " holds no \"user:password\" line";
    *user = text.substr(0, colon);
    *password = text.substr(colon + 1);
    return "";
}

// "user:password", then the notifications' secrets, if any.
std::string readCredentials(BrokerConfig& b) {
    if (std::string why = readUserPassword(b.credentials, &b.user, &b.password); !why.empty())
        return why;
    return readNotifySecrets(b.credentials, &b.notify);
}

// 1.x's "user:password", or 2.x's token alone.
std::string readCredentials(InfluxConfig& i) {
    if (!i.database.empty()) return readUserPassword(i.credentials, &i.user, &i.password);
    if (std::string why = readSecretLine(i.credentials, &i.token); !why.empty()) return why;
    if (i.token.empty() || i.token.find_first_of(" \t") != std::string::npos)
        return "the credentials file " + i.credentials + " holds no token on its first line";
    return "";
}

bool sameHost(std::string a, std::string b) {
    for (std::string* s : {&a, &b})
        std::transform(s->begin(), s->end(), s->begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
    return a == b;
}

// Two lines on one port would be polled by two threads that take no turns.
std::string portShared(const std::string& path, const ServeConfig& c) {
    for (std::size_t j = 1; j < c.lines.size(); ++j)
        for (std::size_t i = 0; i < j; ++i)
            if (samePort(c.lines[i].port, c.lines[j].port))
                return path + ":" + std::to_string(c.lines[j].sectionLine) + ": [line " +
                       c.lines[j].name + "] is on the port of [line " + c.lines[i].name +
                       "] (line " + std::to_string(c.lines[i].sectionLine) + "), " +
                       c.lines[j].port + "; a port is one line: list its ids in one section";
    return "";
}

} // namespace

bool samePort(const std::string& a, const std::string& b) {
    if (isNetworkDevice(a) != isNetworkDevice(b)) return false;
    if (!isNetworkDevice(a)) return sameDevice(a, b);
    const auto ea = parseEndpoint(a), eb = parseEndpoint(b);
    return ea && eb && ea->port == eb->port && sameHost(ea->host, eb->host);
}

std::variant<ServeConfig, std::string> loadServeConfig(const std::string& path) {
    std::string text, why;
    if (!readSmallFile(path, &text, kMaxConfig, &why))
        return "cannot read the config " + path + ": " + why;
    auto parsed = parseServeConfig(text);
    if (auto* e = std::get_if<ConfigError>(&parsed))
        return path + (e->line ? ":" + std::to_string(e->line) : "") + ": " + e->why;
    ServeConfig c = std::move(std::get<ServeConfig>(parsed));
    if (std::string shared = portShared(path, c); !shared.empty()) return shared;
    if (!c.broker.credentials.empty())
        if (const std::string problem = readCredentials(c.broker); !problem.empty())
            return path + ":" + std::to_string(c.broker.credentialsLine) + ": " + problem;
    if (!c.influx.credentials.empty())
        if (const std::string problem = readCredentials(c.influx); !problem.empty())
            return path + ":" + std::to_string(c.influx.credentialsLine) + ": " + problem;
    // The users are read again at every login; a file that does not read
    // now is refused at the start, as the credentials are.
    if (!c.web.users.empty())
        if (auto users = loadUsers(c.web.users); std::holds_alternative<std::string>(users))
            return path + ":" + std::to_string(c.web.usersLine) + ": " +
                   std::get<std::string>(users);
    if (!c.web.key.empty()) {
        if (std::string why = readOwnerOnlyFile(c.web.key, "key file", &c.web.keyPem, kMaxPem);
            !why.empty())
            return path + ":" + std::to_string(c.web.keyLine) + ": " + why;
        std::string why;
        if (!readSmallFile(c.web.certificate, &c.web.certificatePem, kMaxPem, &why))
            return path + ":" + std::to_string(c.web.certificateLine) +
                   ": cannot read the certificate " + c.web.certificate + ": " + why;
    }
    if (!c.broker.caFile.empty() && ::access(c.broker.caFile.c_str(), R_OK) != 0)
        return path + ":" + std::to_string(c.broker.caFileLine) + ": cannot read the ca_file " +
               c.broker.caFile + ": " + std::strerror(errno);
    return c;
}
