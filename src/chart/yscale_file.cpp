#include "chart/yscale_file.h"

#include "base/atomic_file.h"
#include "base/number_text.h"

#include <limits>

namespace {

// scanf's "%lf %lf %d": each field reads only when the one before it did.
bool takeInto(std::string_view& text, double& out) {
    const auto v = takeReal(text);
    if (v) out = *v;
    return v.has_value();
}

bool takeInto(std::string_view& text, int32_t& out) {
    std::string_view rest = text;
    const auto v = takeWhole(rest);
    if (!v || *v < std::numeric_limits<int32_t>::min() || *v > std::numeric_limits<int32_t>::max())
        return false;
    text = rest;
    out = int32_t(*v);
    return true;
}

} // namespace

void parseYScale(std::string_view text, ChartScale& scale) {
    if (!takeInto(text, scale.yMax) || !takeInto(text, scale.yMin) ||
        !takeInto(text, scale.pointsPerScreen))
        return;
    int32_t autoScale = -1;
    if (takeInto(text, autoScale) && (autoScale == 0 || autoScale == 1))
        scale.autoScale = autoScale == 1;
}

std::string formatYScale(const ChartScale& scale) {
    // "%lf %lf %d\n", or "%lf %lf %d %d\n" with the auto-scale choice
    std::string line = formatFixed(scale.yMax, 6) + " " + formatFixed(scale.yMin, 6) + " " +
                       formatWhole(scale.pointsPerScreen);
    if (scale.autoScale) line += *scale.autoScale ? " 1" : " 0";
    return line + "\n";
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
