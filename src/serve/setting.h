#pragma once
// The settings the broker may change on a controller, and their names in
// topics (PREFIX/LINE/ID/set/NAME), in results and in the config's `writes`.
#include <optional>
#include <string_view>

enum class Setting { sv, mode, out };

inline constexpr Setting kSettings[] = {Setting::sv, Setting::mode, Setting::out};

constexpr std::string_view settingName(Setting s) {
    switch (s) {
    case Setting::sv:
        return "sv";
    case Setting::mode:
        return "mode";
    case Setting::out:
        break;
    }
    return "out";
}

inline std::optional<Setting> settingNamed(std::string_view name) {
    for (Setting s : kSettings)
        if (settingName(s) == name) return s;
    return std::nullopt;
}
