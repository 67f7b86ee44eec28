#include "chart/yscale_file.h"

#include "runtime/atomic_file.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <type_traits>

namespace {

// Like scanf's conversions: leading white space and a '+' sign are skipped.
template <class T> bool nextField(std::string_view& text, T& out) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && text[i] == '+') ++i;
    T value{};
    const auto res = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (res.ec != std::errc{}) return false;
    if constexpr (std::is_floating_point_v<T>) {
        // An infinite or undefined range would leave nothing to draw.
        if (!std::isfinite(value)) return false;
    }
    text.remove_prefix(std::size_t(res.ptr - text.data()));
    out = value;
    return true;
}

std::string fixed6(double v) {
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
    return std::string(buf, res.ptr);
}

} // namespace

void parseYScale(std::string_view text, ChartScale& scale) {
    if (nextField(text, scale.yMax) && nextField(text, scale.yMin))
        nextField(text, scale.pointsPerScreen);
}

std::string formatYScale(const ChartScale& scale) {
    return fixed6(scale.yMax) + " " + fixed6(scale.yMin) + " " +
           std::to_string(scale.pointsPerScreen) + "\n";
}

bool readYScaleFile(const std::string& path, ChartScale& scale) {
    std::string text;
    if (!readSmallFile(path, &text, 4096)) return false;
    parseYScale(text, scale);
    return true;
}

bool writeYScaleFile(const std::string& path, const ChartScale& scale, std::string* why) {
    return writeFileAtomically(path, formatYScale(scale), why);
}
