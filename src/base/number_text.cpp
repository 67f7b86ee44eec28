#include "base/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// from_chars takes no '+'; scanf does, but only one sign.
std::string_view dropPlus(std::string_view t) {
    if (t.size() > 1 && t[0] == '+' && t[1] != '-' && t[1] != '+') t.remove_prefix(1);
    return t;
}

template <class T> std::optional<T> takeNumber(std::string_view& text) {
    std::string_view rest = text;
    while (!rest.empty() && isSpace(rest.front()))
        rest.remove_prefix(1);
    rest = dropPlus(rest);
    T value{};
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (ec != std::errc()) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    text.remove_prefix(std::size_t(end - text.data()));
    return value;
}

template <class T> std::optional<T> parseNumber(std::string_view token) {
    if (token.empty() || isSpace(token.front())) return std::nullopt;
    const auto value = takeNumber<T>(token);
    if (!value || !token.empty()) return std::nullopt;
    return value;
}

} // namespace

std::string formatFixed(double value, int precision, int width) {
    precision = std::clamp(precision, 0, 60);
    // Room for the 309 integer digits of the largest double.
    char buf[400];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    std::string text = ec == std::errc() ? std::string(buf, end) : std::string();
    if (int(text.size()) < width) text.insert(0, std::size_t(width) - text.size(), ' ');
    return text;
}

std::string formatWhole(long long value) {
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, ec == std::errc() ? end : buf);
}

std::vector<std::string_view> splitTokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !isSpace(text[i]))
            ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<double> parseReal(std::string_view token) {
    return parseNumber<double>(token);
}

std::optional<long long> parseWhole(std::string_view token) {
    return parseNumber<long long>(token);
}

std::optional<double> takeReal(std::string_view& text) {
    return takeNumber<double>(text);
}

std::optional<long long> takeWhole(std::string_view& text) {
    return takeNumber<long long>(text);
}

// Ties go away from zero (2.5 -> 3, -2.5 -> -3), which is std::lround's rule,
// not the banker's rounding of the current FP rounding mode.
long RoundRealToNearestInteger(double value) {
    return std::lround(value);
}

std::optional<long long> roundedCount(double value) {
    // Well inside what llround gives a long long of, however it rounds.
    constexpr double kLargest = 4e18;
    if (!(std::fabs(value) < kLargest)) return std::nullopt;
    return std::llround(value);
}
