#include "serve/modbus_config.h"

#include "base/number_text.h"
#include "web/listen_address.h"

#include <variant>

namespace {

constexpr double kMaxAge = 60.0;

std::string parseModbusWrites(std::string_view value, ModbusConfig& m) {
    m.writes.clear();
    if (value == "none") return "";
    while (true) {
        const auto comma = value.find(',');
        const std::string_view item = trimmed(value.substr(0, comma));
        const auto s = settingNamed(item);
        if (!s) return "writes takes none, or sv, mode and out, not '" + std::string(item) + "'";
        m.writes.insert(*s);
        if (comma == std::string_view::npos) return "";
        value.remove_prefix(comma + 1);
    }
}

} // namespace

std::string modbusKey(std::string_view key, std::string_view value, int lineNo, ModbusConfig& m) {
    if (key == "listen") {
        const auto address = parseListenAddress(value);
        if (const auto* why = std::get_if<std::string>(&address)) return "listen: " + *why;
        m.listen = std::string(value);
        m.listenLine = lineNo;
        return "";
    }
    if (key == "line") {
        if (value.empty()) return "line names the [line NAME] it serves";
        m.line = std::string(value);
        m.lineLine = lineNo;
        return "";
    }
    if (key == "writes") {
        m.writesLine = lineNo;
        return parseModbusWrites(value, m);
    }
    if (key == "max_age") {
        const auto s = parseReal(value);
        if (!s || *s < 0 || *s > kMaxAge) return "max_age takes 0 to 60 seconds";
        m.maxAge = *s;
        return "";
    }
    return "[modbus] has no key '" + std::string(key) + "'";
}
