#include "base/typed_number.h"

#include "base/number_text.h"

#include <charconv>
#include <cmath>

namespace {

constexpr long long kLargest = 1'000'000'000'000'000; // 10^15

// The value's digits and where its point goes, from its shortest
// scientific text: 55.55 is "5.555e+01", digits "5555" and exponent 1.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

std::optional<Decimal> shortestDecimal(double value) {
    char buf[64];
    const float asFloat = float(value);
    const bool isFloat = std::isfinite(asFloat) && double(asFloat) == value;
    const auto [end, ec] =
        isFloat ? std::to_chars(buf, buf + sizeof buf, asFloat, std::chars_format::scientific)
                : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    if (ec != std::errc()) return std::nullopt;
    Decimal d;
    const char* p = buf;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.') d.digits += *p;
    if (p == end || d.digits.empty()) return std::nullopt;
    const auto exponent = parseWhole(std::string_view(p + 1, std::size_t(end - p - 1)));
    if (!exponent) return std::nullopt;
    d.exponent = int(*exponent);
    return d;
}

} // namespace

TypedNumber parseTypedNumber(std::string_view text) {
    TypedNumber n;
    n.value = parseReal(text);
    if (n.value) return n;
    std::string pointed(text);
    bool comma = false;
    for (char& c : pointed)
        if (c == ',') c = '.', comma = true;
    n.problem = comma && parseReal(pointed)
                    ? "takes a number with a decimal point, such as 42.5; a decimal comma is not "
                      "taken"
                    : "takes a number, such as 42.5";
    return n;
}

std::optional<long long> roundToSteps(double value, int digits) {
    if (!std::isfinite(value)) return std::nullopt;
    const auto d = shortestDecimal(value);
    if (!d) return std::nullopt;
    const int count = int(d->digits.size());
    // Where the point falls among the digits once the value is scaled:
    // digits before it are kept, the first one after it decides.
    const int kept = d->exponent + 1 + digits;
    if (kept > 16) return std::nullopt;
    long long steps = 0;
    for (int i = 0; i < kept; ++i)
        steps = steps * 10 + (i < count ? d->digits[std::size_t(i)] - '0' : 0);
    if (kept >= 0 && kept < count && d->digits[std::size_t(kept)] >= '5') ++steps;
    if (steps > kLargest) return std::nullopt;
    return d->negative ? -steps : steps;
}

double roundedTo(double value, int digits) {
    const auto steps = roundToSteps(value, digits);
    return steps ? double(*steps) / std::pow(10.0, digits) : value;
}
