#pragma once
// The JSON writer for the bridge, the web view, the commands and the
// alarms' webhooks: objects built key by key, strings escaped, numbers
// written with a decimal point whatever the locale.
#include "base/json_text.h"

#include <string>
#include <string_view>
#include <vector>

class JsonObject {
  public:
    // A real with `digits` after the point (in its shortest form from 1e9
    // on, which nothing measured reaches); null when it is not finite.
    JsonObject& number(std::string_view key, double value, int digits);
    JsonObject& whole(std::string_view key, long long value);
    // A number already written as text ("25.0"); null when it is none.
    JsonObject& numeral(std::string_view key, std::string_view number);
    JsonObject& text(std::string_view key, std::string_view value);
    JsonObject& boolean(std::string_view key, bool value);
    JsonObject& null(std::string_view key);
    JsonObject& object(std::string_view key, const JsonObject& value);
    // An array of strings.
    JsonObject& texts(std::string_view key, const std::vector<std::string>& values);
    JsonObject& objects(std::string_view key, const std::vector<JsonObject>& values);

    std::string str() const { return "{" + body_ + "}"; }

  private:
    JsonObject& raw(std::string_view key, const std::string& json);
    std::string body_;
};
