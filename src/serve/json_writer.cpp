#include "serve/json_writer.h"

#include "base/number_text.h"

#include <cmath>

JsonObject& JsonObject::raw(std::string_view key, const std::string& json) {
    if (!body_.empty()) body_ += ',';
    body_ += jsonString(key) + ':' + json;
    return *this;
}

JsonObject& JsonObject::number(std::string_view key, double value, int digits) {
    return raw(key, std::isfinite(value) ? formatFixed(value, digits) : "null");
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
