#include "params/numeric_tokens.h"

#include <cctype>
#include <charconv>

std::vector<std::string_view> splitWhitespace(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        const std::size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

std::optional<double> parseReal(std::string_view token) {
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size() || token.empty()) return std::nullopt;
    return value;
}

std::optional<long> parseInteger(std::string_view token) {
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    long value = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size() || token.empty()) return std::nullopt;
    return value;
}
