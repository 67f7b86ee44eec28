#include "params/field_check.h"

#include "base/number_text.h"

#include <algorithm>
#include <cmath>

namespace {

bool whole(Encoding enc) {
    return enc == Encoding::ByteChoice || enc == Encoding::Word || enc == Encoding::TimeWord;
}

std::string bound(double v, bool isWhole) {
    return isWhole ? formatWhole(static_cast<long long>(v)) : formatFixed(v, 1);
}

std::string rangeText(const FieldRange& r, bool isWhole) {
    if (std::isinf(r.high)) return bound(r.low, isWhole) + " or more";
    if (std::isinf(r.low)) return bound(r.high, isWhole) + " or less";
    return bound(r.low, isWhole) + " to " + bound(r.high, isWhole);
}

} // namespace

FieldVerdict checkField(const RegisterField& field, double value, const std::string& name) {
    const bool isWhole = whole(field.enc);
    // A file keeps two decimals of a value the entries show with one; the
    // range's own digits are what counts.
    constexpr double kSlack = 1e-6;
    const FieldRange& r = field.range;
    if (value < r.low - kSlack || value > r.high + kSlack)
        return {FieldFit::outside, "is outside what " + name + " takes: " + rangeText(r, isWhole)};
    if (field.enc == Encoding::ByteChoice && (value < 0 || value > 255))
        return {FieldFit::outside,
                "does not fit its register: " + name + " holds one byte, 0 to 255"};
    if (isWhole && (value < -32768 || value > 65535))
        return {FieldFit::outside, "does not fit 16 bits: " + name + " holds -32768 to 65535"};
    if (!field.codes.empty() && !choices::isKnown(field.codes, int(value)))
        return {FieldFit::unknownCode, name + ": " + choices::unknownText(int(value))};
    return {};
}

std::string fileSpot(std::string_view text, std::string_view token, const char* unit,
                     std::size_t index) {
    const std::size_t at = std::size_t(std::max<std::ptrdiff_t>(0, token.data() - text.data()));
    const auto line =
        std::count(text.begin(), text.begin() + long(std::min(at, text.size())), '\n');
    return "line " + std::to_string(line + 1) + ", " + unit + " " + std::to_string(index);
}
