#pragma once
// The bridge's config: a small INI file with one [broker] section, a
// [line NAME] section per line, and optional [web], [modbus] and [influx] sections, `key = value`
// lines and `#` comments. It is read by a bounded parser that takes exactly that layout: an
// unknown section or key, a value that does not fit, or a secret outside the credentials file
// is an error that names its line.
#include "alarms/notifier.h"
#include "serve/modbus_config.h"
#include "serve/setting.h"

#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct BrokerConfig {
    bool tls = false; // mqtts://
    std::string host;
    int port = 1883;
    std::string prefix = "q7";
    std::string clientId; // empty: q7-<host name>-<line>
    std::string credentials;
    int credentialsLine = 0;
    std::string caFile; // empty: the system's certificates
    int caFileLine = 0;
    bool homeAssistant = false;
    std::string alarms; // the alarm rules file; alarms.conf or the built-in rules when empty
    // From the credentials file, once it was found fit to hold them.
    std::string user, password;
    // The alarm rules' ntfy token, webhook secret and mail server, from its
    // further lines.
    NotifySecrets notify;
};

struct LineConfig {
    std::string name;
    int sectionLine = 0; // where [line NAME] stands
    std::string port;    // the device
    long baud = 19200;
    std::vector<int> ids;  // none until named: a bridge of no controllers is refused
    double interval = 1.0; // seconds between the polls of one controller
    // What the bridge may write to the line's controllers, whoever asks (a
    // command, a run, an alarm rule); nothing unless named.
    std::set<Setting> writes;
    bool runs = false;  // `run` in writes: the broker may start and end firing runs
    int writesLine = 0; // where `writes` stands; 0 when it does not
    // An unfinished run on this line that no process drives any longer is
    // resumed as the line starts; otherwise it is logged and left as it is.
    bool resume = false;
};

// The read-only web view for the LAN, served while `listen` is set.
struct WebConfig {
    std::string listen; // "0.0.0.0:8080", checked to be an address and port
    int line = 0;       // where it stands
    // Names the page is asked for besides the server's own (a proxy's, a
    // DNS name), and pages of other origins that may open /ws; as
    // WebAccess keeps them.
    std::vector<std::string> hosts, origins;
    // The users file (web/web_users.h): who may log in; empty, no one.
    std::string users;
    int usersLine = 0;
    // view = login: nothing but the page and its login without a session.
    // Control always takes one.
    bool viewNeedsLogin = false;
    int viewLine = 0;
    // HTTPS and WSS with this certificate (PEM, its chain after it) and
    // key (PEM, read only when its owner alone may read it).
    std::string certificate, key;
    int certificateLine = 0, keyLine = 0;
    // Without TLS, control only from loopback unless this says otherwise.
    bool controlOverPlainHttp = false;
    // From the files, once they were found fit.
    std::string certificatePem, keyPem;
};

// Every good poll written to InfluxDB, while `url` is set: to a database
// of 1.x, or to a bucket of an org of 2.x.
struct InfluxConfig {
    std::string url;      // "http://127.0.0.1:8086", without a trailing '/'
    std::string database; // a plain name; empty for 2.x
    std::string org, bucket;
    std::string credentials; // the file of 1.x's "user:password" or 2.x's token
    int credentialsLine = 0;
    int line = 0; // where [influx] stands
    // From the credentials file, once it was found fit to hold them.
    std::string user, password, token;
};

struct ServeConfig {
    BrokerConfig broker;
    WebConfig web;
    ModbusConfig modbus;
    InfluxConfig influx;
    std::vector<LineConfig> lines;
};

struct ConfigError {
    int line = 0; // 0: the file as a whole
    std::string why;
};

// The text of a config, with or without a UTF-8 byte-order mark, as some
// editors save one. The credentials file is not read here.
std::variant<ServeConfig, ConfigError> parseServeConfig(std::string_view text);

// Reads and parses the file (a regular file of at most 64 KiB), then reads
// the credentials it names. The error is one line, "FILE:LINE: why".
std::variant<ServeConfig, std::string> loadServeConfig(const std::string& path);

// One device reached by two names (a by-id link and its node), or one
// gateway, framed either way.
bool samePort(const std::string& a, const std::string& b);

// A topic segment, line name or client id: letters, digits, '_' and '-'.
bool plainName(std::string_view text);
