#include "serve/line_protocol.h"

#include "base/number_text.h"
#include "serve/messages.h"

#include <cmath>

std::string escapedTag(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        if (ch == '\n' || ch == '\r') {
            out += "\\ ";
            continue;
        }
        if (ch == ',' || ch == '=' || ch == ' ') out += '\\';
        out += ch;
    }
    return out;
}

std::string quotedField(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        if (ch == '"' || ch == '\\') out += '\\';
        out += ch == '\n' || ch == '\r' ? ' ' : ch;
    }
    return out + "\"";
}

namespace {

// "°C" is C, "°F" is F: the tag a query names without the degree sign.
std::string unitTag(const std::string& unit) {
    const auto letter = unit.find_last_not_of(' ');
    return letter == std::string::npos ? "" : unit.substr(letter);
}

class Fields {
  public:
    void real(std::string_view key, const std::optional<double>& v, int digits) {
        // A float field stays a float: a whole 25 would be taken as one too.
        if (v && std::isfinite(*v)) add(key, formatFixed(*v, digits));
    }
    void whole(std::string_view key, const std::optional<long long>& v) {
        if (v) add(key, formatWhole(*v) + "i");
    }
    void text(std::string_view key, const std::optional<std::string>& v) {
        if (v) add(key, quotedField(*v));
    }
    const std::string& str() const { return body_; }

  private:
    void add(std::string_view key, const std::string& value) {
        if (!body_.empty()) body_ += ',';
        body_ += std::string(key) + "=" + value;
    }
    std::string body_;
};

std::optional<long long> flag(const std::optional<bool>& b) {
    if (!b) return std::nullopt;
    return *b ? 1 : 0;
}

} // namespace

std::string linePoint(std::string_view line, int id, const Reading& r,
                      std::chrono::system_clock::time_point when) {
    // Without the decimal point no temperature is known to its digit.
    const int digits = r.decimals.value_or(1);
    Fields f;
    f.real("pv", r.pv, digits);
    f.real("sv", r.sv, digits);
    f.real("output", r.out, 1);
    if (r.mode) f.text("mode", modeName(*r.mode));
    // Numbers, not booleans: a graph takes their mean and max.
    f.whole("alarm1", flag(r.alarm1));
    f.whole("alarm2", flag(r.alarm2));
    if (r.run) {
        f.text("run", r.run);
        if (r.runSegment) f.whole("segment", *r.runSegment);
        f.real("plan_sv", r.runPlanSv, digits);
    }
    if (f.str().empty()) return "";
    std::string point = "q7,id=" + std::to_string(id) + ",line=" + escapedTag(line);
    if (r.unit && !unitTag(*r.unit).empty()) point += ",unit=" + escapedTag(unitTag(*r.unit));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    return point + " " + f.str() + " " + formatWhole(ms);
}
