#include "base/json_writer.h"

#include "base/number_text.h"

#include <charconv>
#include <cmath>

namespace {

constexpr double kLargestFixed = 1e9;

} // namespace

JsonObject& JsonObject::raw(std::string_view key, const std::string& json) {
    if (!body_.empty()) body_ += ',';
    body_ += jsonString(key) + ':' + json;
    return *this;
}

JsonObject& JsonObject::number(std::string_view key, double value, int digits) {
    if (!std::isfinite(value)) return raw(key, "null");
    // No register holds such a number: one that came in (a refused 1e308)
    // is echoed in its shortest form, not in its 309 digits.
    if (std::fabs(value) >= kLargestFixed) {
        char text[32];
        const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
        return raw(key, ec == std::errc() ? std::string(text, end) : "null");
    }
    return raw(key, formatFixed(value, digits));
}

JsonObject& JsonObject::whole(std::string_view key, long long value) {
    return raw(key, formatWhole(value));
}

JsonObject& JsonObject::numeral(std::string_view key, std::string_view number) {
    // JSON takes neither a leading '+' nor a bare '.5'.
    const bool fine = parseReal(number) && !number.empty() && number.front() != '+' &&
                      number.front() != '.' && number.rfind("-.", 0) != 0;
    return raw(key, fine ? std::string(number) : "null");
}

JsonObject& JsonObject::text(std::string_view key, std::string_view value) {
    return raw(key, jsonString(value));
}

JsonObject& JsonObject::null(std::string_view key) {
    return raw(key, "null");
}

JsonObject& JsonObject::boolean(std::string_view key, bool value) {
    return raw(key, value ? "true" : "false");
}

JsonObject& JsonObject::object(std::string_view key, const JsonObject& value) {
    return raw(key, value.str());
}

JsonObject& JsonObject::texts(std::string_view key, const std::vector<std::string>& values) {
    std::string json = "[";
    for (const std::string& v : values)
        json += (json.size() > 1 ? "," : "") + jsonString(v);
    return raw(key, json + "]");
}

JsonObject& JsonObject::objects(std::string_view key, const std::vector<JsonObject>& values) {
    std::string json = "[";
    for (const JsonObject& v : values)
        json += (json.size() > 1 ? "," : "") + v.str();
    return raw(key, json + "]");
}
