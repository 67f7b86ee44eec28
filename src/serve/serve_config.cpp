#include "serve/serve_config.h"

#include "base/id_list.h"
#include "base/line_reader.h"
#include "base/number_text.h"
#include "serial/baud_rates.h"
#include "serial/net_endpoint.h"
#include "web/listen_address.h"
#include "web/web_access.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

constexpr double kMinInterval = 0.1, kMaxInterval = 3600.0;
constexpr const char* kSecretAdvice =
    "a user or password goes in the credentials file (mode 0600), never in the config";

std::vector<std::string_view> splitList(std::string_view text) {
    std::vector<std::string_view> out;
    while (true) {
        const auto comma = text.find(',');
        out.push_back(trimmed(text.substr(0, comma)));
        if (comma == std::string_view::npos) return out;
        text.remove_prefix(comma + 1);
    }
}

std::optional<int> wholeIn(std::string_view text, int low, int high) {
    const auto n = parseWhole(text);
    if (!n || *n < low || *n > high) return std::nullopt;
    return int(*n);
}

// "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]"; HOST a name, an IPv4
// address or a bracketed IPv6 one.
std::string parseUrl(std::string_view url, BrokerConfig& b) {
    if (url.find('@') != std::string_view::npos) return kSecretAdvice;
    if (url.rfind("mqtts://", 0) == 0) {
        b.tls = true;
        b.port = 8883;
        url.remove_prefix(8);
    } else if (url.rfind("mqtt://", 0) == 0) {
        url.remove_prefix(7);
    } else {
        return "url takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
    }
    if (!url.empty() && url.back() == '/') url.remove_suffix(1);
    std::string_view host = url, port;
    if (url.rfind('[', 0) == 0) {
        const auto close = url.find(']');
        if (close == std::string_view::npos) return "url has an IPv6 address without its ']'";
        host = url.substr(1, close - 1);
        port = url.substr(close + 1);
        if (!port.empty() && port.front() != ':') return "url has something after the address";
        if (host.empty() || host.find_first_not_of("0123456789abcdefABCDEF:.") != host.npos)
            return "url holds no IPv6 address between '[' and ']'";
    } else {
        const auto colon = url.find(':');
        host = url.substr(0, colon);
        port = colon == url.npos ? std::string_view() : url.substr(colon);
        const bool fine =
            !host.empty() && host.size() <= 253 &&
            host.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                   "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") == host.npos;
        if (!fine) return "url names no host a broker can be reached at";
    }
    if (!port.empty()) {
        const auto n = wholeIn(port.substr(1), 1, 65535);
        if (!n) return "url's port is 1 to 65535";
        b.port = *n;
    }
    b.host = std::string(host);
    return "";
}

std::string parsePrefix(std::string_view value, BrokerConfig& b) {
    for (std::string_view rest = value;;) {
        const auto slash = rest.find('/');
        if (!plainName(rest.substr(0, slash)))
            return "prefix takes topic levels of letters, digits, '_' and '-', split by '/'";
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    b.prefix = std::string(value);
    return "";
}

std::string parseYesNo(std::string_view value, bool& out) {
    std::string v(value);
    std::transform(v.begin(), v.end(), v.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (v == "yes" || v == "true" || v == "on")
        out = true;
    else if (v == "no" || v == "false" || v == "off")
        out = false;
    else
        return "takes yes or no";
    return "";
}

std::string brokerKey(std::string_view key, std::string_view value, int lineNo, BrokerConfig& b) {
    if (key == "url") return parseUrl(value, b);
    if (key == "prefix") return parsePrefix(value, b);
    if (key == "client_id") {
        if (!plainName(value) || value.size() > 64)
            return "client_id takes up to 64 letters, digits, '_' and '-'";
        b.clientId = std::string(value);
        return "";
    }
    if (key == "credentials" || key == "ca_file") {
        if (value.empty()) return std::string(key) + " names a file";
        (key == "credentials" ? b.credentials : b.caFile) = std::string(value);
        (key == "credentials" ? b.credentialsLine : b.caFileLine) = lineNo;
        return "";
    }
    if (key == "alarms") {
        // The rules file; read (and refused, naming its line) as the bridge starts.
        b.alarms = std::string(value);
        return "";
    }
    if (key == "homeassistant") {
        const std::string why = parseYesNo(value, b.homeAssistant);
        return why.empty() ? why : "homeassistant " + why;
    }
    if (key == "user" || key == "username" || key == "password") return kSecretAdvice;
    return "[broker] has no key '" + std::string(key) + "'";
}

std::string parseIds(std::string_view value, LineConfig& l) {
    IdList list = parseIdList(value);
    if (!list.ok()) return "ids: " + list.error;
    l.ids = std::move(list.ids);
    return "";
}

std::string parseWrites(std::string_view value, LineConfig& l) {
    l.writes.clear();
    l.runs = false;
    if (value.empty()) return "";
    for (std::string_view item : splitList(value)) {
        if (item == "run") {
            l.runs = true;
            continue;
        }
        const auto s = settingNamed(item);
        if (!s) return "writes takes sv, mode, out and run, not '" + std::string(item) + "'";
        l.writes.insert(*s);
    }
    return "";
}

std::string lineKey(std::string_view key, std::string_view value, int lineNo, LineConfig& l) {
    if (key == "port") {
        const std::string text(value);
        if (isNetworkDevice(text)) {
            if (!parseEndpoint(text))
                return "port: a gateway is tcp://HOST:PORT or rtu+tcp://HOST:PORT, with a "
                       "port from 1 to 65535";
        } else if (value.size() < 2 || value.front() != '/') {
            return "port names a serial device, such as /dev/ttyUSB0, or a gateway, such as "
                   "tcp://192.0.2.7:502";
        }
        l.port = std::string(value);
        return "";
    }
    if (key == "baud") {
        const auto n = parseWhole(value);
        if (!n || !standardBaud(long(*n)))
            return "baud takes 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200";
        l.baud = long(*n);
        return "";
    }
    if (key == "ids") return parseIds(value, l);
    if (key == "interval") {
        const auto s = parseReal(value);
        if (!s || *s < kMinInterval || *s > kMaxInterval)
            return "interval takes 0.1 to 3600 seconds";
        l.interval = *s;
        return "";
    }
    if (key == "writes") {
        l.writesLine = lineNo;
        return parseWrites(value, l);
    }
    if (key == "resume") {
        if (value != "yes" && value != "no") return "resume takes yes or no";
        l.resume = value == "yes";
        return "";
    }
    if (key == "user" || key == "username" || key == "password") return kSecretAdvice;
    return "[line] has no key '" + std::string(key) + "'";
}

std::string webKey(std::string_view key, std::string_view value, int lineNo, WebConfig& w) {
    if (key == "hosts") {
        const std::string why = parseHostNames(value, w.hosts);
        return why.empty() ? "" : "hosts: " + why;
    }
    if (key == "origins") {
        const std::string why = parseOrigins(value, w.origins);
        return why.empty() ? "" : "origins: " + why;
    }
    if (key == "users") {
        if (value.empty()) return "users names the users file";
        w.users = std::string(value);
        w.usersLine = lineNo;
        return "";
    }
    if (key == "certificate" || key == "key") {
        if (value.empty()) return std::string(key) + " names a PEM file";
        (key == "key" ? w.key : w.certificate) = std::string(value);
        (key == "key" ? w.keyLine : w.certificateLine) = lineNo;
        return "";
    }
    if (key == "control_over_plain_http") {
        if (value != "yes" && value != "no") return "control_over_plain_http takes yes or no";
        w.controlOverPlainHttp = value == "yes";
        return "";
    }
    if (key == "view") {
        if (value != "anyone" && value != "login") return "view takes anyone or login";
        w.viewNeedsLogin = value == "login";
        w.viewLine = lineNo;
        return "";
    }
    if (key != "listen") return "[web] has no key '" + std::string(key) + "'";
    const auto address = parseListenAddress(value);
    if (const auto* why = std::get_if<std::string>(&address)) return "listen: " + *why;
    w.listen = std::string(value);
    w.line = lineNo;
    return "";
}

// "http://HOST[:PORT][/PATH]" or https; a user or password never stands in it.
std::string influxKey(std::string_view key, std::string_view value, int lineNo, InfluxConfig& i) {
    if (key == "url") {
        if (value.find('@') != value.npos) return kSecretAdvice;
        const bool http = value.rfind("http://", 0) == 0, https = value.rfind("https://", 0) == 0;
        const std::string_view rest = value.substr(http ? 7 : https ? 8 : 0);
        const bool fine = (http || https) && !rest.empty() && rest.front() != '/' &&
                          rest.find_first_of(" ?#") == rest.npos;
        if (!fine) return "url takes http://HOST[:PORT] or https://HOST[:PORT]";
        i.url = std::string(value);
        while (i.url.back() == '/')
            i.url.pop_back();
        return "";
    }
    if (key == "database" || key == "org" || key == "bucket") {
        if (!plainName(value) || value.size() > 64)
            return std::string(key) + " takes up to 64 letters, digits, '_' and '-'";
        (key == "database" ? i.database : key == "org" ? i.org : i.bucket) = std::string(value);
        return "";
    }
    if (key == "credentials") {
        if (value.empty()) return "credentials names a file";
        i.credentials = std::string(value);
        i.credentialsLine = lineNo;
        return "";
    }
    if (key == "user" || key == "username" || key == "password" || key == "token")
        return kSecretAdvice;
    return "[influx] has no key '" + std::string(key) + "'";
}

enum class Section { broker, line, web, modbus, influx };

// "[broker]", "[web]" or "[line NAME]" (head: the words between the
// brackets); empty when fine.
std::string section(std::string_view head, ServeConfig& c, int lineNo, bool& haveBroker,
                    bool& haveWeb, Section& in) {
    if (head == "broker") {
        if (haveBroker) return "a second [broker] section";
        haveBroker = true;
        in = Section::broker;
        return "";
    }
    if (head == "modbus") {
        if (c.modbus.sectionLine) return "a second [modbus] section";
        c.modbus.sectionLine = lineNo;
        in = Section::modbus;
        return "";
    }
    if (head == "web") {
        if (haveWeb) return "a second [web] section";
        haveWeb = true;
        in = Section::web;
        return "";
    }
    if (head == "influx") {
        if (c.influx.line) return "a second [influx] section";
        c.influx.line = lineNo;
        in = Section::influx;
        return "";
    }
    in = Section::line;
    if (head.rfind("line", 0) != 0 || head.size() < 5 || (head[4] != ' ' && head[4] != '\t'))
        return "sections are [broker], [line NAME], [web], [modbus] and [influx]";
    const std::string_view name = trimmed(head.substr(4));
    if (!plainName(name) || name.size() > 64)
        return "a line's name takes up to 64 letters, digits, '_' and '-'";
    if (name == "bridge") return "'bridge' names the bridge's own topics; call the line otherwise";
    for (const LineConfig& l : c.lines)
        if (l.name == name) return "a second [line " + std::string(name) + "]";
    c.lines.push_back({});
    c.lines.back().name = std::string(name);
    c.lines.back().sectionLine = lineNo;
    return "";
}

// The server needs a line to serve, and writes no more than that line allows.
std::optional<ConfigError> modbusProblem(const ServeConfig& c) {
    const ModbusConfig& m = c.modbus;
    if (!m.sectionLine || m.listen.empty()) return std::nullopt;
    if (m.line.empty())
        return ConfigError{m.sectionLine,
                           "[modbus] names no line: say which line it serves, as line = NAME"};
    const auto served = std::find_if(c.lines.begin(), c.lines.end(),
                                     [&](const LineConfig& l) { return l.name == m.line; });
    if (served == c.lines.end())
        return ConfigError{m.lineLine, "[modbus] serves line " + m.line + ", which has no [line]"};
    for (Setting s : m.writes)
        if (!served->writes.count(s))
            return ConfigError{m.writesLine, "[modbus] writes names " +
                                                 std::string(settingName(s)) +
                                                 ", which the writes of [line " + m.line +
                                                 "] do not: name it there too, or not here"};
    return std::nullopt;
}

} // namespace

bool plainName(std::string_view text) {
    if (text.empty()) return false;
    for (const char ch : text) {
        const bool fine = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                          (ch >= '0' && ch <= '9') || ch == '_' || ch == '-';
        if (!fine) return false;
    }
    return true;
}

std::variant<ServeConfig, ConfigError> parseServeConfig(std::string_view text) {
    ServeConfig c;
    bool haveBroker = false, haveWeb = false, started = false;
    Section in = Section::broker;
    int brokerLine = 0;
    std::set<std::string> seen; // "section/key", so a key is set once
    LineReader lines(text);
    while (const auto line = lines.next()) {
        const int lineNo = line->number;
        if (line->kind == TextLine::Kind::section) {
            if (std::string why = section(line->head, c, lineNo, haveBroker, haveWeb, in);
                !why.empty())
                return ConfigError{lineNo, why};
            started = true;
            if (in == Section::broker) brokerLine = lineNo;
            continue;
        }
        if (line->kind != TextLine::Kind::entry)
            return ConfigError{lineNo, "expected 'key = value' or a [section]"};
        const std::string_view key = line->key, value = line->value;
        if (!started)
            return ConfigError{lineNo, "'" + std::string(key) + "' stands before any section"};
        const std::string where = in == Section::broker   ? std::string("broker")
                                  : in == Section::web    ? std::string("web")
                                  : in == Section::modbus ? std::string("modbus")
                                  : in == Section::influx ? std::string("influx")
                                                          : "line " + c.lines.back().name;
        if (!seen.insert(where + "/" + std::string(key)).second)
            return ConfigError{lineNo, "'" + std::string(key) + "' is set twice in its section"};
        const std::string why = in == Section::broker   ? brokerKey(key, value, lineNo, c.broker)
                                : in == Section::web    ? webKey(key, value, lineNo, c.web)
                                : in == Section::modbus ? modbusKey(key, value, lineNo, c.modbus)
                                : in == Section::influx
                                    ? influxKey(key, value, lineNo, c.influx)
                                    : lineKey(key, value, lineNo, c.lines.back());
        if (!why.empty()) return ConfigError{lineNo, why};
    }
    if (!lines.problem().empty()) return ConfigError{lines.problemLine(), lines.problem()};
    if (!haveBroker) return ConfigError{0, "there is no [broker] section"};
    if (c.broker.host.empty()) return ConfigError{brokerLine, "[broker] names no url"};
    if (!c.broker.caFile.empty() && !c.broker.tls)
        return ConfigError{c.broker.caFileLine, "ca_file goes with an mqtts:// url"};
    if (c.influx.line) {
        const InfluxConfig& i = c.influx;
        const bool v1 = !i.database.empty() && i.org.empty() && i.bucket.empty();
        const bool v2 = i.database.empty() && !i.org.empty() && !i.bucket.empty();
        if (i.url.empty() || (!v1 && !v2))
            return ConfigError{i.line, "[influx] takes a url and a database (InfluxDB 1.x), or a "
                                       "url, an org and a bucket (2.x)"};
        if (v2 && i.credentials.empty())
            return ConfigError{i.line, "[influx] with a bucket takes the credentials file that "
                                       "holds its token"};
    }
    if (c.web.certificate.empty() != c.web.key.empty())
        return ConfigError{std::max(c.web.certificateLine, c.web.keyLine),
                           "certificate and key go together: HTTPS takes both"};
    if (c.web.viewNeedsLogin && c.web.users.empty())
        return ConfigError{c.web.viewLine, "view = login takes the users file: users = FILE"};
    if (c.lines.empty()) return ConfigError{0, "there is no [line NAME] section"};
    for (const LineConfig& l : c.lines) {
        if (l.port.empty())
            return ConfigError{l.sectionLine, "[line " + l.name + "] names no port"};
        if (l.ids.empty())
            return ConfigError{l.sectionLine, "[line " + l.name +
                                                  "] names no ids: say which controllers to "
                                                  "bridge, such as ids = 1,2"};
        // A run writes the set value and switches its controllers On (and
        // Off, where its program ends so): it takes what those writes take.
        if (l.runs && (!l.writes.count(Setting::sv) || !l.writes.count(Setting::mode)))
            return ConfigError{l.writesLine,
                               "writes names run without sv and mode: a run writes the set "
                               "value and switches its controllers On, and Off at an end = off; "
                               "name them with it, as writes = sv, mode, run"};
    }
    if (const auto problem = modbusProblem(c)) return *problem;
    return c;
}
